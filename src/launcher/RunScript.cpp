#include "launcher/RunScript.h"

#include <cctype>
#include <cstdio>

namespace launcher {
namespace {

// A code that can travel in the first argument: ASCII letters, digits, '-', '_'.
bool IsUsableCode(const std::string& code) {
  if (code.empty() || code.size() > 64) return false;
  for (const char c : code) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x80 || !(std::isalnum(u) || c == '-' || c == '_')) return false;
  }
  return true;
}

}  // namespace

LanguageChoice RunScript::ChooseLanguage(const std::string& systemLanguage, const PrivateData& data) {
  std::string language = systemLanguage;
  std::string fallback = "en";
  const auto current = data.String("CurLanguage");
  const auto supported = data.StringEntries("SupportLanguage");

  if (language == "zh-Hant" || language == "zh-HK" || language == "zh-MO" || language == "zh-TW" ||
      language == "zh-Hant-TW") {
    language = "zh-Hant";
    fallback = "zh-Hant";
  }
  std::string wanted = language;
  if (language == "zh-Hans") {
    fallback = "zh-Hans";
  } else if (language == "pt") {
    fallback = "pt-BR";
    wanted = "pt-BR";
  }

  if (data.Has("Tovane")) return {"ja", std::nullopt};

  if (current) {
    for (const auto& [name, code] : supported) {
      if (name == *current) return {IsUsableCode(code) ? code : fallback, std::nullopt};
    }
    return {fallback, std::nullopt};
  }

  LanguageChoice choice{fallback, std::nullopt};
  for (const auto& [name, code] : supported) {
    if (code == wanted && IsUsableCode(code)) {
      choice = {code, name};
      break;
    }
  }
  if (choice.code == "en") choice.curLanguage = "English";
  return choice;
}

std::string RunScript::GetCurrentLanaguage(const std::string& systemLanguage, PrivateData& data) {
  const LanguageChoice choice = ChooseLanguage(systemLanguage, data);
  if (choice.curLanguage) data.SetString("CurLanguage", *choice.curLanguage);
  return choice.code;
}

std::vector<std::string> RunScript::ToolArguments(const std::string& language,
                                                  const std::optional<std::string>& rsfPath) {
  std::vector<std::string> args{language + kLoaderFlag};
  if (rsfPath) args.push_back(*rsfPath);
  return args;
}

int RunScript::RunTool(const std::string& toolPath, const std::optional<std::string>& rsfPath,
                       const std::string& systemLanguage, PrivateData& data, platform::ProcessStarter& starter) {
  const LanguageChoice choice = ChooseLanguage(systemLanguage, data);
  const platform::StartResult result =
      starter.Start(toolPath, ToolArguments(choice.code, rsfPath), /*elevated=*/!starter.IsRoot());
  switch (result) {
    case platform::StartResult::Started:
      if (choice.curLanguage && !data.SetString("CurLanguage", *choice.curLanguage)) {
        std::fprintf(stderr, "quarnel-launcher: could not record the language in %s\n", data.OverlayPath().c_str());
      }
      return kRunStarted;
    case platform::StartResult::Refused:
      // pkexec answers "refused" too when it cannot reach polkit at all.
      return starter.ElevationAuthorityReachable() ? kRunRefused : kRunNoAuthority;
    case platform::StartResult::NoElevator:
      return kRunNoElevator;
    case platform::StartResult::NotFound:
      return kRunNotFound;
    case platform::StartResult::Failed:
      break;
  }
  return kRunFailed;
}

}  // namespace launcher
