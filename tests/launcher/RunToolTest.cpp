#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "launcher/PrivateData.h"
#include "launcher/PrivateDataFiles.h"
#include "launcher/QVAppDelegate.h"
#include "launcher/RunScript.h"
#include "support/FakeStarter.h"
#include "support/TempDir.h"

namespace {

using launcher::PrivateData;
using launcher::RunScript;
using platform::StartResult;

using testsupport::FakeStarter;

struct LayoutCase {
  const char* name;
  bool root;
  std::optional<std::string> document;
  std::vector<std::string> expectedArgs;
  bool expectedElevated;
};

class ArgumentLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(ArgumentLayout, HandedToTheStarter) {
  const LayoutCase& c = GetParam();
  testsupport::TempDir dir;
  testplist::Write(dir.File("PrivateData.plist"), {{{"English", "en"}, {"Deutsch", "de"}}});
  FakeStarter starter;
  starter.root = c.root;
  launcher::LauncherSettings settings{
      dir.Path().string(), {dir.File("PrivateData.plist")}, dir.File("cfg/p.plist"), "de", "/home/user"};
  std::vector<std::string> argv{"quarnel-launcher"};
  if (c.document) argv.push_back(*c.document);

  EXPECT_EQ(launcher::LoaderMain(argv, starter, settings), 0);

  ASSERT_EQ(starter.calls.size(), 1u);
  EXPECT_EQ(starter.calls[0].path, dir.File("quarnel"));
  EXPECT_EQ(starter.calls[0].args, c.expectedArgs);
  EXPECT_EQ(starter.calls[0].elevated, c.expectedElevated);
  EXPECT_EQ(PrivateData::Load({}, dir.File("cfg/p.plist")).String("CurLanguage"), "Deutsch");
}

INSTANTIATE_TEST_SUITE_P(
    Table, ArgumentLayout,
    ::testing::Values(
        LayoutCase{"NoDocumentThroughPkexec", false, std::nullopt, {"de*loaderflag*"}, true},
        LayoutCase{
            "DocumentThroughPkexec", false, "/data/scan 1.Quarnel", {"de*loaderflag*", "/data/scan 1.Quarnel"}, true},
        LayoutCase{"NoDocumentAsRoot", true, std::nullopt, {"de*loaderflag*"}, false},
        LayoutCase{"DocumentAsRoot", true, "/data/x.Quarnel", {"de*loaderflag*", "/data/x.Quarnel"}, false},
        LayoutCase{"RelativeDocumentMadeAbsolute",
                   false,
                   "saved/x.Quarnel",
                   {"de*loaderflag*", "/home/user/saved/x.Quarnel"},
                   true},
        LayoutCase{"DocumentWithShellCharacters",
                   false,
                   "/d/$(rm -rf ~);`x`.Quarnel",
                   {"de*loaderflag*", "/d/$(rm -rf ~);`x`.Quarnel"},
                   true}),
    [](const ::testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.name); });

struct FailureCase {
  const char* name;
  StartResult result;
  int status;
  bool authority = true;
  const char* message = "";  // part of what the launcher says
};

class StartFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(StartFailure, NothingRecordedAndQuietExit) {
  const FailureCase& c = GetParam();
  testsupport::TempDir dir;
  testplist::Write(dir.File("PrivateData.plist"), {{{"English", "en"}, {"Deutsch", "de"}}});
  PrivateData data = PrivateData::Load({dir.File("PrivateData.plist")}, dir.File("cfg/p.plist"));
  FakeStarter starter;
  starter.result = c.result;
  starter.authority = c.authority;
  EXPECT_EQ(RunScript::RunTool(dir.File("quarnel"), std::nullopt, "de", data, starter), c.status);
  EXPECT_EQ(starter.calls.size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(dir.File("cfg/p.plist")));

  launcher::LauncherSettings settings{
      dir.Path().string(), {dir.File("PrivateData.plist")}, dir.File("cfg/p.plist"), "de", "/"};
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  EXPECT_EQ(launcher::LoaderMain({"quarnel-launcher"}, starter, settings), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find(c.message), std::string::npos) << said;
  EXPECT_FALSE(std::filesystem::exists(dir.File("cfg/p.plist")));
}

INSTANTIATE_TEST_SUITE_P(
    Table, StartFailure,
    ::testing::Values(
        FailureCase{"Refused", StartResult::Refused, launcher::kRunRefused, true, "authorisation cancelled or refused"},
        FailureCase{"NoAuthority", StartResult::Refused, launcher::kRunNoAuthority, false,
                    "no polkit authority answers"},
        FailureCase{"NoPkexec", StartResult::NoElevator, launcher::kRunNoElevator, true, "pkexec is not installed"},
        FailureCase{"Missing", StartResult::NotFound, launcher::kRunNotFound, true, "main program missing"},
        FailureCase{"Failed", StartResult::Failed, launcher::kRunFailed, true, "could not start the main program"}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

TEST(LauncherMissingProgram, RealStarterStartsNothingAndAsksForNothing) {
  testsupport::TempDir dir;
  // An elevator that would leave a mark if it were ever run.
  const std::string elevator = dir.File("elevator");
  std::ofstream(elevator) << "#!/bin/sh\ntouch \"$0.ran\"\n";
  std::filesystem::permissions(elevator, std::filesystem::perms::owner_all);
  platform::SystemProcessStarter starter(elevator);
  launcher::LauncherSettings settings{dir.Path().string(), {}, dir.File("cfg/p.plist"), "ko", "/"};
  EXPECT_EQ(launcher::LoaderMain({"quarnel-launcher"}, starter, settings), 1);
  EXPECT_FALSE(std::filesystem::exists(elevator + ".ran"));
  EXPECT_FALSE(std::filesystem::exists(dir.File("cfg/p.plist")));
}

TEST(LauncherMissingProgram, UnknownLauncherFolderStartsNothing) {
  FakeStarter starter;
  launcher::LauncherSettings settings{"", {}, "", "en", "/"};
  EXPECT_EQ(launcher::LoaderMain({"quarnel-launcher"}, starter, settings), 1);
  EXPECT_TRUE(starter.calls.empty());
}

}  // namespace
