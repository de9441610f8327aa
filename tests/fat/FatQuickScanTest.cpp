// The quick scan of FAT16 and FAT32 volumes made by mkfs.vfat and mtools,
// through the core's quick controller, against The Sleuth Kit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <set>

#include "core/recovery/DataRecovery.h"
#include "core/util/Log.h"
#include "fat/FatScanHarness.h"
#include "fat/FatSearchedPartitionInfo.h"
#include "support/TempDir.h"

namespace {

using namespace fattest;

struct VolumeCase {
  const char* image;
  int fsCode;
  long long dataStart;
  int sectorsPerCluster;
  std::uint32_t flags;
};

class FatQuickScan : public FatImagesTest<::testing::TestWithParam<VolumeCase>> {};

// The source file a deleted entry came from: same name but for the first
// character, ignoring case.
std::string SourceFor(const std::string& dir, const std::string& tskPath) {
  const std::string name = std::filesystem::path(tskPath).filename().string();
  auto lower = [](std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
  };
  for (const auto& e : std::filesystem::recursive_directory_iterator(dir + "/src")) {
    const std::string candidate = e.path().filename().string();
    if (candidate.size() == name.size() && lower(candidate.substr(1)) == lower(name.substr(1)))
      return e.path().string();
  }
  return {};
}

TEST_P(FatQuickScan, ListsEveryDeletedEntryTheSleuthKitListsWithSizeAndTime) {
  const VolumeCase& c = GetParam();
  const std::string image = m_dir + "/" + c.image;
  DevicePtr volume = OpenVolume(image, c.fsCode);
  ASSERT_TRUE(volume);
  auto scan = RunScan(volume.get(), kControllerQuick);
  ASSERT_EQ(scan->result, 0u);
  const auto tsk = FlsDeleted(image);
  ASSERT_GT(tsk.size(), 8u);
  for (const TskEntry& e : tsk) {
    SCOPED_TRACE(e.path);
    IFileNode* node = FindNode(scan->nodes, e.path);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->IsDeleted(), 1);
    EXPECT_EQ(node->IsDirectory() != 0, e.directory);
    if (!e.directory) {
      EXPECT_EQ(node->GetFileSize(), e.size);
    }
    EXPECT_EQ(FileTimeToUnix(node->GetModificationTime()), e.mtime);
  }
  // Names in full: long, non-ASCII, and 8.3 with the lost first character.
  EXPECT_TRUE(scan->nodes.count("DOCS/Long File Name Report.txt"));
  EXPECT_TRUE(scan->nodes.count("DOCS/R\xc3\xa9sum\xc3\xa9 \xe2\x82\xac.txt"));
  EXPECT_TRUE(scan->nodes.count("#ICS/#hoto1.jpg"));
  EXPECT_TRUE(scan->nodes.count("BIGDIR/A rather long file name number 013.txt"));
  const auto last = scan->progress.Reports().back();
  EXPECT_EQ(last.state, kProgressFinished);
  EXPECT_EQ(last.done, 100u);
}

TEST_P(FatQuickScan, RecoversDeletedFilesByteForByteWithTheirFolders) {
  const VolumeCase& c = GetParam();
  const std::string image = m_dir + "/" + c.image;
  DevicePtr volume = OpenVolume(image, c.fsCode);
  ASSERT_TRUE(volume);
  auto scan = RunScan(volume.get(), kControllerQuick);
  ASSERT_EQ(scan->result, 0u);
  testsupport::TempDir out;
  int recovered = 0;
  for (const TskEntry& e : FlsDeleted(image)) {
    if (e.directory || e.size == 0) continue;
    SCOPED_TRACE(e.path);
    IFileNode* node = FindNode(scan->nodes, e.path);
    ASSERT_NE(node, nullptr);
    const std::string source = SourceFor(m_dir, e.path);
    ASSERT_FALSE(source.empty());
    std::string ours;
    for (const auto& [path, n] : scan->nodes) {
      if (n == node) ours = path;
    }
    const std::filesystem::path target = out.Path() / ours;
    std::filesystem::create_directories(target.parent_path());
    ASSERT_EQ(Recover(*scan->controller, node, target.string()), 0u);
    EXPECT_EQ(ReadFileBytes(target.string()), ReadFileBytes(source));
    ++recovered;
  }
  EXPECT_GE(recovered, 8);
}

TEST_P(FatQuickScan, DescribesTheVolumeAsOnePartition) {
  const VolumeCase& c = GetParam();
  DevicePtr volume = OpenVolume(m_dir + "/" + c.image, c.fsCode);
  ASSERT_TRUE(volume);
  auto scan = RunScan(volume.get(), kControllerQuick);
  IDataRecovery* recovery = scan->controller->GetDataRecovery(kSearcherFat);
  ASSERT_NE(recovery, nullptr);
  const auto& parts = recovery->GetSearchedPartition();
  ASSERT_EQ(parts.size(), 1u);
  auto* fat = dynamic_cast<CFATSearchedPartitionInfo*>(parts[0]);
  ASSERT_NE(fat, nullptr);
  EXPECT_EQ(fat->m_iFileSystem, c.fsCode);
  EXPECT_EQ(fat->m_llClusterBaseSector, c.dataStart);
  EXPECT_EQ(fat->m_iSectorsPerCluster, c.sectorsPerCluster);
  EXPECT_EQ(fat->m_llStartSector, 0);
  EXPECT_EQ(fat->m_u16PartitionIndex, 0);
  EXPECT_EQ(fat->GetFlags(), c.flags);
  recovery->Release();
}

// Process-wide counters start again with every scan.
TEST_P(FatQuickScan, TwoScansInOneProcessGiveTheSameTree) {
  const VolumeCase& c = GetParam();
  DevicePtr volume = OpenVolume(m_dir + "/" + c.image, c.fsCode);
  ASSERT_TRUE(volume);
  auto first = RunScan(volume.get(), kControllerQuick);
  auto second = RunScan(volume.get(), kControllerQuick);
  ASSERT_EQ(first->nodes.size(), second->nodes.size());
  for (const auto& [path, node] : first->nodes) {
    SCOPED_TRACE(path);
    ASSERT_TRUE(second->nodes.count(path));
    EXPECT_EQ(second->nodes.find(path)->second->GetCurrentNodeID(), node->GetCurrentNodeID());
  }
  // The deleted empty file has a number above every cluster.
  ASSERT_TRUE(first->nodes.count("Long Folder Name/#mpty.txt"));
  IFileNode* empty = first->nodes.find("Long Folder Name/#mpty.txt")->second;
  EXPECT_GE(empty->GetCurrentNodeID(), 0x100000000LL);
}

INSTANTIATE_TEST_SUITE_P(Volumes, FatQuickScan,
                         ::testing::Values(VolumeCase{"fat16.img", 1, 164, 4, 0x3C3},
                                           VolumeCase{"fat32.img", 2, 32 + 2 * 1009, 1, 0x3CC}),
                         [](const auto& info) { return std::string(info.param.fsCode == 1 ? "Fat16" : "Fat32"); });

TEST(FatQuickScanRefusal, AFat12VolumeIsRefusedWithCodeCAndALogLine) {
  testsupport::Lack why;
  const std::string dir = ImagesDir(&why);
  if (dir.empty()) QUARNEL_SKIP_LACK(why);
  testsupport::TempDir work;
  setenv("QUARNEL_WORK_DIR", work.Path().c_str(), 1);
  CatchExeception::ResetWorkPath();
  DevicePtr volume = OpenVolume(dir + "/fat12.img", 0);
  ASSERT_TRUE(volume);
  auto scan = RunScan(volume.get(), kControllerQuick);
  EXPECT_EQ(result::ModuleOf(scan->result), result::kModuleFatSearch);
  EXPECT_EQ(result::CodeOf(scan->result), 0xCu);
  EXPECT_TRUE(scan->nodes.empty());
  const std::string text = testsupport::ReadFileText(work.File("vAVE_Quarnel.log"));
  EXPECT_NE(text.find("FAT12 volumes are not supported"), std::string::npos) << text;
  unsetenv("QUARNEL_WORK_DIR");
  CatchExeception::ResetWorkPath();
}

}  // namespace
