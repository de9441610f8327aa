#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/StartupArguments.h"

namespace {

struct Case {
  const char* name;
  std::vector<std::string> argv;  // after argv[0]
  bool relaunch;
  std::optional<std::string> language;
  std::string rsfPath;
};

class StartupArgumentRules : public ::testing::TestWithParam<Case> {};

TEST_P(StartupArgumentRules, Parse) {
  const Case& c = GetParam();
  std::vector<std::string> argv{"/usr/bin/quarnel"};
  argv.insert(argv.end(), c.argv.begin(), c.argv.end());
  const app::StartupArguments parsed = app::ParseStartupArguments(argv);
  EXPECT_EQ(parsed.relaunchLauncher, c.relaunch);
  EXPECT_EQ(parsed.language, c.language);
  EXPECT_EQ(parsed.rsfPath, c.rsfPath);
}

INSTANTIATE_TEST_SUITE_P(
    Table, StartupArgumentRules,
    ::testing::Values(
        Case{"NoArguments", {}, true, std::nullopt, ""}, Case{"EmptyFirst", {""}, true, std::nullopt, ""},
        Case{"EmptyFirstWithSavedResult", {"", "/s/a.Quarnel"}, true, std::nullopt, "/s/a.Quarnel"},
        Case{"FromLauncher", {"de*loaderflag*"}, false, "de", ""},
        Case{"FromLauncherRegionCode", {"pt-BR*loaderflag*"}, false, "pt-BR", ""},
        Case{"FlagOnly", {"*loaderflag*"}, false, "", ""}, Case{"WithoutFlagTakenWhole", {"foo"}, false, "foo", ""},
        Case{"FlagNotAtEndTakenWhole", {"de*loaderflag*x"}, false, "de*loaderflag*x", ""},
        Case{"SavedResult", {"de*loaderflag*", "/home/u/scan.Quarnel"}, false, "de", "/home/u/scan.Quarnel"},
        Case{"MarkAnywhere", {"de*loaderflag*", "/a.Quarnel.d/x"}, false, "de", "/a.Quarnel.d/x"},
        Case{"MarkIsCaseSensitive", {"de*loaderflag*", "/home/u/scan.quarnel"}, false, "de", ""},
        Case{"OtherSecondArgument", {"de*loaderflag*", "/home/u/scan.txt"}, false, "de", ""},
        Case{"ExtraArgumentsIgnored", {"en*loaderflag*", "/r.Quarnel", "/other.Quarnel"}, false, "en", "/r.Quarnel"}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
