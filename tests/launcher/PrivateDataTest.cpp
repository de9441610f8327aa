#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "launcher/ChildProcess.h"
#include "launcher/PrivateData.h"
#include "launcher/PrivateDataFiles.h"
#include "support/TempDir.h"

namespace {

using launcher::PrivateData;

TEST(PrivateDataOverlay, WriteKeepsOtherUserKeysAndLeavesShippedFileAlone) {
  testsupport::TempDir dir;
  const std::string shipped = dir.File("PrivateData.plist");
  const std::string overlay = dir.File("cfg/quarnel/PrivateData.plist");
  testplist::Write(shipped, {{{"English", "en"}}});
  std::filesystem::create_directories(dir.Path() / "cfg/quarnel");
  testplist::Write(overlay, {{}, std::nullopt, false, "<key>SavePath</key><string>/home/u/out</string>\n"});
  const std::string shippedBefore = testsupport::ReadFileText(shipped);

  PrivateData data = PrivateData::Load({shipped}, overlay);
  ASSERT_TRUE(data.SetString("CurLanguage", "Deutsch"));

  EXPECT_EQ(testsupport::ReadFileText(shipped), shippedBefore);
  const PrivateData reread = PrivateData::Load({}, overlay);
  EXPECT_EQ(reread.String("CurLanguage"), "Deutsch");
  EXPECT_EQ(reread.String("SavePath"), "/home/u/out");
  EXPECT_FALSE(reread.Has("SupportLanguage"));  // shipped keys are not copied
  // Nothing but the overlay is left in its folder (no temporary files).
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path() / "cfg/quarnel")) {
    EXPECT_EQ(entry.path().filename(), "PrivateData.plist");
    ++files;
  }
  EXPECT_EQ(files, 1);
}

TEST(PrivateDataOverlay, WriteCreatesTheConfigFolders) {
  testsupport::TempDir dir;
  const std::string overlay = dir.File("a/b/quarnel/PrivateData.plist");
  PrivateData data = PrivateData::Load({}, overlay);
  ASSERT_TRUE(data.SetString("CurLanguage", "English"));
  EXPECT_EQ(PrivateData::Load({}, overlay).String("CurLanguage"), "English");
}

TEST(PrivateDataOverlay, UnreadableOverlayIsNeverOverwritten) {
  testsupport::TempDir dir;
  const std::string overlay = dir.File("PrivateData.plist");
  std::ofstream(overlay) << "not a property list";
  PrivateData data = PrivateData::Load({}, overlay);
  EXPECT_FALSE(data.SetString("CurLanguage", "English"));
  EXPECT_EQ(testsupport::ReadFileText(overlay), "not a property list");
}

TEST(PrivateDataOverlay, WriteFailureIsReported) {
  testsupport::TempDir dir;
  std::ofstream(dir.File("file")) << "x";
  // The overlay's folder would have to be made below a plain file.
  PrivateData data = PrivateData::Load({}, dir.File("file/quarnel/PrivateData.plist"));
  EXPECT_FALSE(data.SetString("CurLanguage", "English"));
  PrivateData none = PrivateData::Load({}, "");
  EXPECT_FALSE(none.SetString("CurLanguage", "English"));
}

TEST(PrivateDataOverlay, ShippedFileThatIsNotADictionaryIsIgnored) {
  testsupport::TempDir dir;
  const std::string shipped = dir.File("PrivateData.plist");
  std::ofstream(shipped) << "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>x</string></array></plist>";
  const PrivateData data = PrivateData::Load({shipped}, dir.File("o.plist"));
  EXPECT_FALSE(data.Has("PRODUCTNAME"));
  EXPECT_TRUE(data.StringEntries("SupportLanguage").empty());
}

}  // namespace
