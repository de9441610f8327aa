#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/Startup.h"
#include "launcher/ChildProcess.h"
#include "support/FakeStarter.h"
#include "support/TempDir.h"

namespace {

using platform::StartResult;

using testsupport::FakeStarter;

class RecordingSettings final : public app::StartupSettings {
 public:
  void setCurLanguage(const std::string& code) override { events.push_back("language=" + code); }
  void SetRsfPath(const std::string& path) override { events.push_back("rsfPath=" + path); }
  std::vector<std::string> events;
};

struct Case {
  const char* name;
  std::vector<std::string> argv;
  StartResult relaunch;
  bool exitNow;
  std::size_t launches;
  std::vector<std::string> events;
};

class StartupFlow : public ::testing::TestWithParam<Case> {};

TEST_P(StartupFlow, RecordsOrHandsOver) {
  const Case& c = GetParam();
  FakeStarter starter;
  starter.result = c.relaunch;
  RecordingSettings settings;
  const app::StartupOutcome outcome = app::RunStartup(c.argv, starter, settings, "/opt/quarnel/bin");
  EXPECT_EQ(outcome.exitNow, c.exitNow);
  ASSERT_EQ(starter.calls.size(), c.launches);
  for (const auto& call : starter.calls) {
    EXPECT_EQ(call.path, "/opt/quarnel/bin/quarnel-launcher");
    EXPECT_TRUE(call.args.empty());
    EXPECT_FALSE(call.elevated);
  }
  EXPECT_EQ(settings.events, c.events);
}

INSTANTIATE_TEST_SUITE_P(
    Table, StartupFlow,
    ::testing::Values(
        Case{"DirectStartHandsOver", {"quarnel"}, StartResult::Started, true, 1, {}},
        Case{"EmptyFirstHandsOver", {"quarnel", ""}, StartResult::Started, true, 1, {}},
        Case{"RelaunchFailsRunsOnWithoutLanguage", {"quarnel"}, StartResult::NotFound, false, 1, {"rsfPath="}},
        Case{"RelaunchFailsKeepsSavedResult",
             {"quarnel", "", "/s/a.Quarnel"},
             StartResult::Failed,
             false,
             1,
             {"rsfPath=", "rsfPath=/s/a.Quarnel"}},
        Case{
            "FromLauncher", {"quarnel", "de*loaderflag*"}, StartResult::Started, false, 0, {"language=de", "rsfPath="}},
        Case{"FromLauncherWithSavedResult",
             {"quarnel", "ja*loaderflag*", "/s/b.Quarnel"},
             StartResult::Started,
             false,
             0,
             {"language=ja", "rsfPath=", "rsfPath=/s/b.Quarnel"}},
        Case{"LanguageWithoutFlag", {"quarnel", "fr"}, StartResult::Started, false, 0, {"language=fr", "rsfPath="}}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(StartupFlow, UnknownProgramFolderCannotHandOver) {
  FakeStarter starter;
  RecordingSettings settings;
  const app::StartupOutcome outcome = app::RunStartup({"quarnel"}, starter, settings, "");
  EXPECT_FALSE(outcome.exitNow);
  EXPECT_TRUE(outcome.relaunchFailed);
  EXPECT_TRUE(starter.calls.empty());
}

// The stub program, copied alone or beside a fake launcher.
class StubProgram : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::copy_file(QUARNEL_MAIN_STUB_PATH, m_dir.File("quarnel")); }
  testsupport::TempDir m_dir;
};

TEST_F(StubProgram, StartedDirectlyHandsOverToTheLauncherBesideIt) {
  const std::string launcher = m_dir.File("quarnel-launcher");
  testchild::WriteExecutable(launcher, "#!/bin/sh\necho \"launched $#\" > \"$0.ran\"\n");
  const std::string out = m_dir.File("out.txt");
  EXPECT_EQ(testchild::RunAndWait({m_dir.File("quarnel")}, testchild::BaseEnvironment(), out), 0);
  EXPECT_EQ(testchild::WaitForText(launcher + ".ran", "\n"), "launched 0\n");
  const std::string text = testsupport::ReadFileText(out);
  EXPECT_NE(text.find("launcher started; exiting"), std::string::npos) << text;
  EXPECT_EQ(text.find("would open the main window"), std::string::npos) << text;
}

TEST_F(StubProgram, WithoutALauncherItRunsOnUnprivileged) {
  const std::string out = m_dir.File("out.txt");
  EXPECT_EQ(testchild::RunAndWait({m_dir.File("quarnel"), ""}, testchild::BaseEnvironment(), out), 0);
  const std::string text = testsupport::ReadFileText(out);
  EXPECT_NE(text.find("launcher not started"), std::string::npos) << text;
  EXPECT_EQ(text.find("argv = "), std::string::npos) << text;
  EXPECT_NE(text.find("would open the main window"), std::string::npos) << text;
}

TEST_F(StubProgram, StartedByTheLauncherSetsLanguageAndSavedResult) {
  const std::string out = m_dir.File("out.txt");
  EXPECT_EQ(testchild::RunAndWait({m_dir.File("quarnel"), "de*loaderflag*", "/s/x.Quarnel"},
                                  testchild::BaseEnvironment(), out),
            0);
  const std::string text = testsupport::ReadFileText(out);
  EXPECT_NE(text.find("argv = de\n"), std::string::npos) << text;
  EXPECT_NE(text.find("rsfPath = /s/x.Quarnel\n"), std::string::npos) << text;
}

}  // namespace
