// A staged `cmake --install` of this build tree: programs, the polkit
// action naming the installed main program, "PrivateData", the desktop
// entry, the MIME type and the icon; and the installed launcher choosing
// its language from the installed "PrivateData", without the source tree.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "launcher/ChildProcess.h"
#include "launcher/PrivateData.h"
#include "support/Absent.h"
#include "support/Files.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

std::string quote(const std::string& s) { return "'" + s + "'"; }

using testsupport::ReadFileText;

// The build tree installed under `staging` (the configured prefix kept in
// the files, as a package build does).
class StagedInstall : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = dir_.File("staging");
    ASSERT_EQ(testsupport::Run("DESTDIR=" + quote(root_) + " cmake --install " + quote(QUARNEL_BUILD_DIR) + " >" +
                               quote(dir_.File("install.log")) + " 2>&1"),
              0)
        << ReadFileText(dir_.File("install.log"));
  }
  std::string staged(const std::string& path) const { return root_ + path; }
  testsupport::TempDir dir_;
  std::string root_;
};

// A staged install whose launcher the test runs: as root only, since the
// launcher would otherwise ask pkexec for a password (found before installing).
class StagedInstallRunAsRoot : public StagedInstall {
 protected:
  void SetUp() override {
    if (geteuid() != 0) {
      QUARNEL_SKIP_LACK(
          testsupport::MissingCapability("needs root: otherwise the launcher would ask pkexec for a password"));
    }
    StagedInstall::SetUp();
  }
};

TEST_F(StagedInstall, HoldsProgramsPolicyDataDesktopEntryMimeTypeAndIcon) {
  const std::string prefix = QUARNEL_INSTALL_PREFIX;
  const std::string bin = QUARNEL_INSTALL_BINDIR;
  for (const char* program : {"/quarnel", "/quarnel-launcher", "/quarnel-cli"})
    EXPECT_TRUE(fs::exists(staged(bin + program))) << program;
  const std::string policy = ReadFileText(staged(prefix + "/share/polkit-1/actions/org.quarnel.launcher.policy"));
  EXPECT_NE(policy.find("<annotate key=\"org.freedesktop.policykit.exec.path\">" + bin + "/quarnel</annotate>"),
            std::string::npos)
      << policy;
  if (testsupport::HaveProgram("xmllint")) {
    EXPECT_EQ(testsupport::Run("xmllint --noout " +
                               quote(staged(prefix + "/share/polkit-1/actions/org.quarnel.launcher.policy"))),
              0);
  }

  const auto data = launcher::PrivateData::Load({staged(prefix + "/share/quarnel/PrivateData.plist")}, "");
  EXPECT_EQ(data.String("PRODUCTNAME"), "Quarnel");
  EXPECT_FALSE(data.StringEntries("SupportLanguage").empty());

  const std::string desktop = staged(prefix + "/share/applications/quarnel.desktop");
  EXPECT_NE(ReadFileText(desktop).find("Exec=quarnel-launcher %f\n"), std::string::npos);
  if (testsupport::HaveProgram("desktop-file-validate")) {
    EXPECT_EQ(testsupport::Run("desktop-file-validate " + quote(desktop)), 0);
  }

  const std::string mime = staged(prefix + "/share/mime/packages/quarnel.xml");
  EXPECT_NE(ReadFileText(mime).find("pattern=\"*.Quarnel\""), std::string::npos);
  if (testsupport::HaveProgram("update-mime-database")) {
    // The staged MIME database knows the type of saved results.
    ASSERT_EQ(testsupport::Run("update-mime-database " + quote(staged(prefix + "/share/mime")) + " 2>/dev/null"), 0);
    EXPECT_NE(ReadFileText(staged(prefix + "/share/mime/globs2")).find("application/x-quarnel-scan-result:*.Quarnel"),
              std::string::npos);
  }
  EXPECT_TRUE(fs::exists(staged(prefix + "/share/icons/hicolor/scalable/apps/quarnel.svg")));
}

TEST_F(StagedInstallRunAsRoot, InstalledLauncherPicksGermanFromInstalledData) {
  const std::string bin = staged(QUARNEL_INSTALL_BINDIR);
  // The main program replaced by the stand-in that prints its arguments.
  fs::copy_file(QUARNEL_MAIN_STUB_PATH, bin + "/quarnel", fs::copy_options::overwrite_existing);
  std::vector<std::string> env = testchild::BaseEnvironment();
  env.push_back("XDG_CONFIG_HOME=" + dir_.File("config"));
  env.push_back("LANG=de_DE.UTF-8");
  const std::string out = dir_.File("out.txt");
  EXPECT_EQ(testchild::RunAndWait({bin + "/quarnel-launcher"}, env, out), 0);
  const std::string text = testchild::WaitForText(out, "would open the main window\n");
  EXPECT_NE(text.find("argv = de\n"), std::string::npos) << text;
  const auto overlay = launcher::PrivateData::Load({}, dir_.File("config/quarnel/PrivateData.plist"));
  EXPECT_EQ(overlay.String("CurLanguage"), "Deutsch");
}

}  // namespace
