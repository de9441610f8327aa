#include <gtest/gtest.h>

#include <memory>

#include "core/model/FileNode.h"
#include "ntfs/NtfsScanSupport.h"
#include "core/recovery/DataRecovery.h"
#include "ntfs/NtfsTestImages.h"
#include "support/TempDir.h"

using namespace ntfstest;

namespace {

constexpr long long kFirstStart = 2048;
constexpr long long kSecondStart = 2048 + 131072 + 2048;

// A disk holding two NTFS volumes (4 KiB and 8 KiB clusters) whose partition
// table and the first volume's boot sector and its copy were wiped.
class NtfsCompleteScan : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_missing = ImageToolsMissing();
    if (!s_missing.empty()) return;
    s_dir = new testsupport::TempDir();
    const std::string a = s_dir->File("a.img");
    const std::string b = s_dir->File("b.img");
    s_disk = s_dir->File("disk.img");
    if (!MakeTestVolume(a, s_dir->File("src-a"), 4096) || !MakeTestVolume(b, s_dir->File("src-b"), 8192)) {
      s_missing = "the test volumes could not be made";
      return;
    }
    const std::string cmd = "truncate -s 300M '" + s_disk + "' && printf 'label: dos\n" + std::to_string(kFirstStart) +
                            ",131072,7\n" + std::to_string(kSecondStart) + ",131072,7\n' | sfdisk -q '" + s_disk +
                            "' && dd if='" + a + "' of='" + s_disk + "' bs=512 seek=" + std::to_string(kFirstStart) +
                            " conv=notrunc,sparse status=none && dd if='" + b + "' of='" + s_disk +
                            "' bs=512 seek=" + std::to_string(kSecondStart) + " conv=notrunc,sparse status=none";
    s_volumeBytes = ReadFile(a).size();
    if (testsupport::Run(cmd) != 0) {
      s_missing = "the disk image could not be made";
      return;
    }
    s_deletedA = DeletedWithFls(s_disk, kFirstStart);
    s_deletedB = DeletedWithFls(s_disk, kSecondStart);
    // Wipe the table and the first volume's boot sector and its copy.
    const long long copy = kFirstStart + static_cast<long long>(s_volumeBytes / 512) - 1;
    for (long long sector : {0LL, kFirstStart, copy}) {
      testsupport::Run("dd if=/dev/zero of='" + s_disk + "' bs=512 seek=" + std::to_string(sector) +
                       " count=1 conv=notrunc status=none");
    }
    s_device = OpenDisk(s_disk).release();
    s_run = Scan(*s_device, kControllerWholeDisk).release();
  }
  static void TearDownTestSuite() {
    delete s_run;
    delete s_device;
    delete s_dir;
  }
  void SetUp() override {
    if (!s_missing.empty()) GTEST_SKIP() << s_missing;
  }

  static std::string s_missing;
  static testsupport::TempDir* s_dir;
  static std::string s_disk;
  static std::size_t s_volumeBytes;
  static std::map<std::string, FlsEntry> s_deletedA;
  static std::map<std::string, FlsEntry> s_deletedB;
  static IStorageDevice* s_device;
  static ScanRun* s_run;
};

std::string NtfsCompleteScan::s_missing;
testsupport::TempDir* NtfsCompleteScan::s_dir = nullptr;
std::string NtfsCompleteScan::s_disk;
std::size_t NtfsCompleteScan::s_volumeBytes = 0;
std::map<std::string, FlsEntry> NtfsCompleteScan::s_deletedA;
std::map<std::string, FlsEntry> NtfsCompleteScan::s_deletedB;
IStorageDevice* NtfsCompleteScan::s_device = nullptr;
ScanRun* NtfsCompleteScan::s_run = nullptr;

}  // namespace

TEST_F(NtfsCompleteScan, FindsBothVolumesWithTheirGeometryAndIndex) {
  std::vector<CSearchedPartitionInfo*> parts(8, nullptr);
  std::unique_ptr<IDataRecovery, RecoveryRelease> recovery(s_run->controller->GetDataRecovery(kSearcherNtfs));
  ASSERT_NE(recovery, nullptr);
  auto& found = recovery->GetSearchedPartition();
  ASSERT_EQ(found.size(), 2u);
  std::map<long long, CSearchedPartitionInfo*> byStart;
  for (CSearchedPartitionInfo* p : found) byStart[p->m_llClusterBaseSector] = p;
  ASSERT_TRUE(byStart.count(kFirstStart));
  ASSERT_TRUE(byStart.count(kSecondStart));
  EXPECT_EQ(byStart[kFirstStart]->m_iSectorsPerCluster, 8);
  EXPECT_EQ(byStart[kSecondStart]->m_iSectorsPerCluster, 16);
  EXPECT_EQ(byStart[kFirstStart]->m_u16PartitionIndex, 0);
  EXPECT_EQ(byStart[kSecondStart]->m_u16PartitionIndex, 1);
  EXPECT_EQ(byStart[kFirstStart]->m_iFileSystem, kFsNtfs);
  EXPECT_GE(byStart[kFirstStart]->GetTotalSectors(), 131000);
}

// The trees hold every deleted file at its path, and files of the second
// volume recover with its own geometry.
TEST_F(NtfsCompleteScan, TreesHoldTheDeletedFilesAndTheSecondVolumeRecovers) {
  testsupport::TempDir out;
  int n = 0;
  for (const auto& [index, listing, offset] :
       {std::tuple{0, &s_deletedA, kFirstStart}, std::tuple{1, &s_deletedB, kSecondStart}}) {
    ASSERT_GE(listing->size(), 10u);
    for (const auto& [path, e] : *listing) {
      SCOPED_TRACE(std::to_string(index) + ":" + path);
      auto it = s_run->nodes.find(std::to_string(index) + ":" + path);
      ASSERT_NE(it, s_run->nodes.end());
      EXPECT_EQ(it->second->IsDeleted(), 1);
      if (e.directory || e.size == 0) continue;
      EXPECT_EQ(it->second->GetFileSize(), e.size);
      if (index == 0) continue;
      const std::string target = out.File("f" + std::to_string(n++));
      ASSERT_EQ(Recover(*s_run, it->second, target), 0u);
      EXPECT_EQ(ReadFile(target), IcatData(s_disk, e.inode, offset));
    }
  }
  EXPECT_GE(n, 8);

}

// Each recovery object gets its own copies of the partitions.
TEST_F(NtfsCompleteScan, RecoveryObjectsCanBeMadeOneAfterAnother) {
  for (int i = 0; i < 3; ++i) {
    std::unique_ptr<IDataRecovery, RecoveryRelease> recovery(s_run->controller->GetDataRecovery(kSearcherNtfs));
    ASSERT_NE(recovery, nullptr);
    EXPECT_EQ(recovery->GetSearchedPartition().size(), 2u);
  }
}
