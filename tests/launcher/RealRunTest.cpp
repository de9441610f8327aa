#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "launcher/ChildProcess.h"
#include "launcher/PrivateData.h"
#include "launcher/PrivateDataFiles.h"
#include "support/Absent.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

// The launcher and the main program copied side by side into a fresh folder.
class InstalledPair : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::copy_file(QUARNEL_LAUNCHER_PATH, m_dir.File("quarnel-launcher"));
    fs::copy_file(QUARNEL_MAIN_STUB_PATH, m_dir.File("quarnel"));
    testplist::Write(m_dir.File("PrivateData.plist"), {{{"English", "en"}, {"Deutsch", "de"}, {"日本語", "ja"}}});
  }
  std::vector<std::string> Environment() const {
    std::vector<std::string> env = testchild::BaseEnvironment();
    env.push_back("XDG_CONFIG_HOME=" + m_dir.File("config"));
    env.push_back("LANG=de_DE.UTF-8");
    return env;
  }
  testsupport::TempDir m_dir;
};

TEST_F(InstalledPair, LauncherAsRootStartsTheMainProgramDirectly) {
  if (geteuid() != 0) {
    QUARNEL_SKIP_LACK(
        testsupport::MissingCapability("needs root: otherwise the launcher would ask pkexec for a password"));
  }
  const std::string out = m_dir.File("out.txt");
  const std::string saved = m_dir.File("scans/disk.Quarnel");

  EXPECT_EQ(testchild::RunAndWait({m_dir.File("quarnel-launcher"), saved}, Environment(), out), 0);

  const std::string text = testchild::WaitForText(out, "would open the main window\n");
  EXPECT_NE(text.find("argv = de\n"), std::string::npos) << text;
  EXPECT_NE(text.find("arg[1] = de*loaderflag*\n"), std::string::npos) << text;
  EXPECT_NE(text.find("arg[2] = " + saved + "\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("arg[3]"), std::string::npos) << text;
  EXPECT_NE(text.find("rsfPath = " + saved + "\n"), std::string::npos) << text;
  EXPECT_NE(text.find("privileged = yes\n"), std::string::npos) << text;
  const auto data = launcher::PrivateData::Load({}, m_dir.File("config/quarnel/PrivateData.plist"));
  EXPECT_EQ(data.String("CurLanguage"), "Deutsch");
}

TEST_F(InstalledPair, LauncherWithoutMainProgramFailsQuietly) {
  fs::remove(m_dir.File("quarnel"));
  const std::string out = m_dir.File("out.txt");
  EXPECT_EQ(testchild::RunAndWait({m_dir.File("quarnel-launcher")}, Environment(), out), 1);
  EXPECT_EQ(testsupport::ReadFileText(out), "");
  EXPECT_FALSE(fs::exists(m_dir.File("config/quarnel/PrivateData.plist")));
}

}  // namespace
