#include "launcher/SystemLanguage.h"

#include <cctype>

namespace launcher {
namespace {

bool AllLetters(const std::string& s) {
  if (s.empty()) return false;
  for (const char c : s) {
    if (!std::isalpha(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

std::string LanguageFromLocale(const std::string& locale) {
  std::string s = locale.substr(0, locale.find_first_of(".@"));
  if (s == "C" || s == "POSIX") return {};
  std::string language = s;
  std::string region;
  const auto sep = s.find_first_of("_-");
  if (sep != std::string::npos) {
    language = s.substr(0, sep);
    region = s.substr(sep + 1);
  }
  if (!AllLetters(language) || language.size() < 2 || language.size() > 3) return {};
  language = Lower(language);
  if (!region.empty() && !AllLetters(region)) return {};
  region = Upper(region);
  if (language == "zh") {
    if (region == "CN" || region == "SG" || region == "HANS") return "zh-Hans";
    if (region == "HANT") return "zh-Hant";
    if (region == "TW" || region == "HK" || region == "MO") return "zh-" + region;
    return "zh";
  }
  if (language == "pt" && region == "PT") return "pt-PT";
  return language;
}

std::string SystemLanguage(const std::function<const char*(const char*)>& getenv) {
  auto value = [&](const char* name) {
    const char* v = getenv(name);
    return v == nullptr ? std::string() : std::string(v);
  };
  // Like gettext: LANGUAGE counts only when the locale is not "C".
  std::string locale;
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    locale = value(name);
    if (!locale.empty()) break;
  }
  if (!locale.empty() && LanguageFromLocale(locale).empty()) return {};
  const std::string list = value("LANGUAGE");
  std::size_t start = 0;
  while (start <= list.size()) {
    const auto end = list.find(':', start);
    const std::string entry = list.substr(start, end == std::string::npos ? std::string::npos : end - start);
    const std::string language = LanguageFromLocale(entry);
    if (!language.empty()) return language;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return LanguageFromLocale(locale);
}

}  // namespace launcher
