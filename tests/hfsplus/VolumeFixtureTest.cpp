// Real macOS-made HFS+ volumes: our catalog walk lists what fls lists.

#include <gtest/gtest.h>

#include <filesystem>

#include "hfsplus/CollectingBuilder.h"
#include "hfsplus/HfsPlusVolume.h"
#include "hfsplus/HfsPlusVolumeAnalyze.h"
#include "hfsplus/HfsTestSupport.h"
#include "hfsplus/QuickSearchProgress.h"
#include "support/Absent.h"
#include "support/MemoryDevice.h"
#include "support/TempDir.h"

namespace {

// fls shows control characters as "^"; our names drop leading NUL units.
std::string AsFls(std::string path) {
  for (char& c : path) {
    if (static_cast<unsigned char>(c) < 0x20) c = '^';
  }
  return path;
}
std::string AsOurs(std::string path) { return path.rfind("^^^^", 0) == 0 ? path.substr(4) : path; }

class FixtureVolume : public ::testing::TestWithParam<const char*> {};

TEST_P(FixtureVolume, ListsExactlyWhatSleuthKitLists) {
  const std::string dir = testsupport::FixturesDir();
  if (dir.empty()) QUARNEL_SKIP_NO_FIXTURE() << "no fixtures folder";
  if (!hfstest::HaveSleuthKit()) QUARNEL_SKIP_NO_TOOL() << "The Sleuth Kit is not installed";
  const std::string image = dir + "/" + GetParam();
  if (!std::filesystem::exists(image)) QUARNEL_SKIP_NO_FIXTURE() << image << " is absent";

  const auto expected = hfstest::ListWithFls(image);
  ASSERT_FALSE(expected.empty());

  auto device = testsupport::MemoryDevice::FromFile(image);
  std::unique_ptr<IVolumeAnalyze> analyze(CreateHFSPlusVolumeAnalyze(&device, 0));
  EXPECT_EQ(analyze->GetFileSystemType(), kFsHfsPlus);

  CHFSPlusVolume volume(&device, false);
  ASSERT_EQ(volume.GetLastResult(), 0u);
  hfstest::CollectingBuilder builder;
  CHFSPlusQuickFileSystemSearchProgress progress(nullptr, true);
  EXPECT_EQ(volume.Traverse(4, &builder, &progress), 0u);
  std::map<std::string, IFileNode*> found;
  for (const auto& [path, n] : builder.ByPath(false)) found[AsFls(path)] = n;

  for (const auto& [path, e] : expected) {
    auto it = found.find(AsOurs(path));
    ASSERT_NE(it, found.end()) << "missing " << path;
    IFileNode* n = it->second;
    EXPECT_EQ(n->GetCurrentNodeID(), static_cast<long long>(e.inode)) << path;
    EXPECT_EQ(n->IsDirectory() != 0, e.directory) << path;
    if (!e.directory && e.size >= 0) {
      EXPECT_EQ(n->GetFileSize(), e.size) << path;
    }
    if (!e.mtime.empty() && e.mtime[0] != '0') {
      EXPECT_EQ(hfstest::FileTimeText(n->GetModificationTime()), e.mtime) << path;
      EXPECT_EQ(hfstest::FileTimeText(n->GetCreationTime()), e.crtime) << path;
    }
  }
  // Nothing more than fls shows (the root folder aside).
  std::size_t extra = 0;
  for (const auto& [path, n] : found) {
    if (expected.count(path) == 0 && expected.count("^^^^" + path) == 0) {
      ++extra;
      ADD_FAILURE() << "unexpected " << path;
    }
  }
  EXPECT_EQ(extra, 0u);
}

INSTANTIATE_TEST_SUITE_P(Images, FixtureVolume,
                         ::testing::Values("dfvfs/hfsplus.raw", "dfvfs/hfsplus_2020-08.raw",
                                           "hfsplus-forensic/hfs_plus_volume.bin",
                                           "hfsplus-forensic/hfs_plus_nested.bin"));

TEST(FixtureHeader, RecognisedFromItsFirstSectors) {
  const std::string dir = testsupport::FixturesDir();
  if (dir.empty()) QUARNEL_SKIP_NO_FIXTURE() << "no fixtures folder";
  auto device = testsupport::MemoryDevice::FromFile(dir + "/hfsplus-forensic/hfs_plus_header.bin");
  if (device.GetTotalSectors() == 0) QUARNEL_SKIP_NO_FIXTURE() << "header fixture absent";
  std::unique_ptr<IVolumeAnalyze> analyze(CreateHFSPlusVolumeAnalyze(&device, 0));
  EXPECT_EQ(analyze->GetFileSystemType(), kFsHfsPlus);
  char label[8] = {'x', 'x'};
  analyze->GetLabel(label, sizeof label);
  EXPECT_EQ(label[0], 0);
}

}  // namespace
