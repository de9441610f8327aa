#pragma once
// The user's first system language, in the form the language rules expect
// ("de", "pt", "pt-PT", "zh-Hans", "zh-TW"), from the POSIX locale variables.

#include <functional>
#include <string>

namespace launcher {

// "de_DE.UTF-8" -> "de", "pt_BR" -> "pt", "zh_CN" -> "zh-Hans",
// "zh_TW" -> "zh-TW"; "C", "POSIX", "" or malformed -> "".
std::string LanguageFromLocale(const std::string& locale);

// LANGUAGE (its first usable entry), then LC_ALL, LC_MESSAGES, LANG.
// `getenv` is the environment reader; "" when none gives a language.
std::string SystemLanguage(const std::function<const char*(const char*)>& getenv);

}  // namespace launcher
