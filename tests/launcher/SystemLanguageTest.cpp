#include <gtest/gtest.h>

#include <map>
#include <string>

#include "launcher/SystemLanguage.h"

namespace {

struct LocaleCase {
  std::string locale;
  std::string expected;
};

class LocaleForms : public ::testing::TestWithParam<LocaleCase> {};

TEST_P(LocaleForms, BecomeLanguageCodes) {
  EXPECT_EQ(launcher::LanguageFromLocale(GetParam().locale), GetParam().expected) << GetParam().locale;
}

INSTANTIATE_TEST_SUITE_P(Table, LocaleForms,
                         ::testing::Values(LocaleCase{"de_DE.UTF-8", "de"}, LocaleCase{"de", "de"},
                                           LocaleCase{"en_US", "en"}, LocaleCase{"pt_BR.UTF-8", "pt"},
                                           LocaleCase{"pt_PT", "pt-PT"}, LocaleCase{"zh_CN.UTF-8", "zh-Hans"},
                                           LocaleCase{"zh_SG", "zh-Hans"}, LocaleCase{"zh_TW.Big5", "zh-TW"},
                                           LocaleCase{"zh_HK", "zh-HK"}, LocaleCase{"zh_MO", "zh-MO"},
                                           LocaleCase{"sr_RS@latin", "sr"}, LocaleCase{"ja_JP.eucJP", "ja"},
                                           LocaleCase{"C", ""}, LocaleCase{"C.UTF-8", ""}, LocaleCase{"POSIX", ""},
                                           LocaleCase{"", ""}, LocaleCase{"../../x", ""}, LocaleCase{"d\"e", ""},
                                           LocaleCase{"e", ""}));

struct EnvCase {
  const char* name;
  std::map<std::string, std::string> env;
  std::string expected;
};

class Environment : public ::testing::TestWithParam<EnvCase> {};

TEST_P(Environment, FirstUsableLanguage) {
  const auto& env = GetParam().env;
  const auto get = [&](const char* name) -> const char* {
    const auto it = env.find(name);
    return it == env.end() ? nullptr : it->second.c_str();
  };
  EXPECT_EQ(launcher::SystemLanguage(get), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Environment,
    ::testing::Values(EnvCase{"Nothing", {}, ""}, EnvCase{"LangOnly", {{"LANG", "fr_FR.UTF-8"}}, "fr"},
                      EnvCase{"MessagesOverLang", {{"LANG", "fr_FR"}, {"LC_MESSAGES", "it_IT"}}, "it"},
                      EnvCase{"AllOverMessages", {{"LC_ALL", "ja_JP"}, {"LC_MESSAGES", "it_IT"}}, "ja"},
                      EnvCase{"LanguageListFirst", {{"LANG", "de_DE"}, {"LANGUAGE", "zh_TW:en"}}, "zh-TW"},
                      EnvCase{"LanguageListSkipsEmpty", {{"LANG", "de_DE"}, {"LANGUAGE", "::pt_BR:en"}}, "pt"},
                      EnvCase{"LanguageWithoutLocale", {{"LANGUAGE", "es"}}, "es"},
                      EnvCase{"CLocaleIgnoresLanguage", {{"LANG", "C.UTF-8"}, {"LANGUAGE", "de"}}, ""},
                      EnvCase{"EmptyLanguageFallsToLocale", {{"LANG", "ko_KR.UTF-8"}, {"LANGUAGE", ""}}, "ko"}),
    [](const ::testing::TestParamInfo<EnvCase>& info) { return std::string(info.param.name); });

}  // namespace
