#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "launcher/PrivateData.h"
#include "launcher/RunScript.h"
#include "launcher/PrivateDataFiles.h"
#include "support/TempDir.h"

namespace {

using launcher::PrivateData;
using launcher::RunScript;
using testplist::Contents;

const testplist::Entries kMany = {{"English", "en"},       {"Deutsch", "de"},       {"Português", "pt-BR"},
                                  {"繁體中文", "zh-Hant"}, {"简体中文", "zh-Hans"}, {"日本語", "ja"}};
const testplist::Entries kEnglishGerman = {{"English", "en"}, {"Deutsch", "de"}};

struct Case {
  const char* name;
  std::string system;
  Contents shipped;
  std::string expected;
  std::optional<std::string> written;  // "CurLanguage" in the overlay afterwards
};

class LanguageChoice : public ::testing::TestWithParam<Case> {};

TEST_P(LanguageChoice, ChoosesAndRecords) {
  const Case& c = GetParam();
  testsupport::TempDir dir;
  const std::string shipped = dir.File("PrivateData.plist");
  const std::string overlay = dir.File("config/quarnel/PrivateData.plist");
  testplist::Write(shipped, c.shipped);

  PrivateData data = PrivateData::Load({shipped}, overlay);
  EXPECT_EQ(RunScript::GetCurrentLanaguage(c.system, data), c.expected);

  const PrivateData after = PrivateData::Load({}, overlay);
  EXPECT_EQ(after.String("CurLanguage"), c.written);
  EXPECT_EQ(std::filesystem::exists(overlay), c.written.has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Table, LanguageChoice,
    ::testing::Values(
        Case{"ZhTwSupported", "zh-TW", {kMany}, "zh-Hant", "繁體中文"},
        Case{"ZhHkSupported", "zh-HK", {kMany}, "zh-Hant", "繁體中文"},
        Case{"ZhMoSupported", "zh-MO", {kMany}, "zh-Hant", "繁體中文"},
        Case{"ZhHantTwSupported", "zh-Hant-TW", {kMany}, "zh-Hant", "繁體中文"},
        Case{"ZhHantSupported", "zh-Hant", {kMany}, "zh-Hant", "繁體中文"},
        Case{"ZhTwUnsupported", "zh-TW", {kEnglishGerman}, "zh-Hant", std::nullopt},
        Case{"ZhHansSupported", "zh-Hans", {kMany}, "zh-Hans", "简体中文"},
        Case{"ZhHansUnsupported", "zh-Hans", {kEnglishGerman}, "zh-Hans", std::nullopt},
        Case{"PtLooksForPtBr", "pt", {kMany}, "pt-BR", "Português"},
        Case{"PtUnsupported", "pt", {kEnglishGerman}, "pt-BR", std::nullopt},
        Case{"GermanSupported", "de", {kMany}, "de", "Deutsch"},
        Case{"KoreanUnsupported", "ko", {kMany}, "en", "English"},
        Case{"EnglishSupported", "en", {kMany}, "en", "English"},
        Case{"NoSystemLanguage", "", {kMany}, "en", "English"},
        Case{"EnglishUnderOtherName", "en", {{{"English (US)", "en"}, {"Deutsch", "de"}}}, "en", "English"},
        Case{"FirstKeyInFileOrder", "de", {{{"German", "de"}, {"Deutsch", "de"}}}, "de", "German"},
        Case{"TovaneWins", "de", {kMany, std::nullopt, true}, "ja", std::nullopt},
        Case{"TovaneWinsOverCurrent", "de", {kMany, "Deutsch", true}, "ja", std::nullopt},
        Case{"CurrentMatches", "ko", {kMany, "Deutsch"}, "de", std::nullopt},
        Case{"CurrentMatchesOverSystem", "zh-TW", {kMany, "日本語"}, "ja", std::nullopt},
        Case{"CurrentGoneFallsBackEnglish", "ko", {kMany, "Klingon"}, "en", std::nullopt},
        Case{"CurrentGoneFallsBackPtBr", "pt", {kMany, "Klingon"}, "pt-BR", std::nullopt},
        Case{"CurrentGoneFallsBackZhHant", "zh-TW", {kMany, "Klingon"}, "zh-Hant", std::nullopt},
        Case{"CurrentWithUnusableCode", "de", {{{"Deutsch", "d e"}}, "Deutsch"}, "en", std::nullopt},
        Case{"UnusableCodeNeverChosen", "d\"e", {{{"Odd", "d\"e"}}}, "en", "English"},
        Case{"NoSupportedLanguages", "de", {}, "en", "English"}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(LanguageChoiceFiles, NoPrivateDataAtAllGivesTheFallback) {
  testsupport::TempDir dir;
  PrivateData data = PrivateData::Load({dir.File("missing.plist")}, dir.File("cfg/PrivateData.plist"));
  EXPECT_EQ(RunScript::ChooseLanguage("zh-TW", data).code, "zh-Hant");
  EXPECT_EQ(RunScript::ChooseLanguage("pt", data).code, "pt-BR");
  EXPECT_EQ(RunScript::ChooseLanguage("ko", data).code, "en");
}

TEST(LanguageChoiceFiles, NonStringValuesAreIgnored) {
  testsupport::TempDir dir;
  const std::string shipped = dir.File("PrivateData.plist");
  Contents c;
  c.extraXml =
      "<key>CurLanguage</key><integer>3</integer>\n"
      "<key>SupportLanguage</key><dict><key>Broken</key><integer>1</integer>"
      "<key>Deutsch</key><string>de</string></dict>\n";
  testplist::Write(shipped, c);
  PrivateData data = PrivateData::Load({shipped}, dir.File("cfg/PrivateData.plist"));
  const launcher::LanguageChoice choice = RunScript::ChooseLanguage("de", data);
  EXPECT_EQ(choice.code, "de");
  EXPECT_EQ(choice.curLanguage, "Deutsch");
}

TEST(LanguageChoiceFiles, UserOverlayWinsOverShippedFile) {
  testsupport::TempDir dir;
  const std::string shipped = dir.File("PrivateData.plist");
  const std::string overlay = dir.File("PrivateData.user.plist");
  testplist::Write(shipped, {kMany, "English"});
  testplist::Write(overlay, {{}, "Deutsch"});
  PrivateData data = PrivateData::Load({shipped}, overlay);
  EXPECT_EQ(RunScript::GetCurrentLanaguage("ko", data), "de");
}

TEST(LanguageChoiceFiles, FirstExistingShippedFileIsUsed) {
  testsupport::TempDir dir;
  std::filesystem::create_directories(dir.Path() / "share");
  testplist::Write(dir.File("share/PrivateData.plist"), {{{"Deutsch", "de"}}});
  testplist::Write(dir.File("other.plist"), {{{"Français", "de-other"}}});
  PrivateData data = PrivateData::Load(
      {dir.File("none.plist"), dir.File("share/PrivateData.plist"), dir.File("other.plist")}, dir.File("cfg/p.plist"));
  EXPECT_EQ(RunScript::ChooseLanguage("de", data).curLanguage, "Deutsch");
}

}  // namespace
