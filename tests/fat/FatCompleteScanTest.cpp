// The complete scan of whole-disk images whose partition table is gone,
// through the core's whole-disk controller.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <ctime>
#include <memory>
#include <set>

#include "core/recovery/DataRecovery.h"
#include "fat/FatScanHarness.h"
#include "fat/FatSearchedPartitionInfo.h"
#include "support/TempDir.h"

namespace {

using namespace fattest;

class FatCompleteScan : public FatImagesTest<> {
 protected:
  // The FAT partitions the scan kept, best first.
  static std::vector<CFATSearchedPartitionInfo*> Partitions(IDataRecovery& recovery) {
    std::vector<CFATSearchedPartitionInfo*> out;
    for (CSearchedPartitionInfo* p : recovery.GetSearchedPartition()) {
      if (auto* fat = dynamic_cast<CFATSearchedPartitionInfo*>(p)) out.push_back(fat);
    }
    return out;
  }
};

const CFATSearchedPartitionInfo* FindByStart(const std::vector<CFATSearchedPartitionInfo*>& parts, long long start) {
  for (const CFATSearchedPartitionInfo* p : parts) {
    if (p->m_llStartSector == start) return p;
  }
  return nullptr;
}

// A FAT32 partition at 2048 (boot sector wiped, backup left) and a FAT16 at
// 133120, behind a wiped MBR.
TEST_F(FatCompleteScan, FindsLostPartitionsWithTheirGeometryAndTheirDeletedFiles) {
  const std::string disk = m_dir + "/disk_lost.img";
  DevicePtr device = OpenDisk(disk);
  ASSERT_TRUE(device);
  auto scan = RunScan(device.get(), kControllerWholeDisk);
  ASSERT_EQ(scan->result, 0u);
  IDataRecovery* recovery = scan->controller->GetDataRecovery(kSearcherFat);
  ASSERT_NE(recovery, nullptr);
  const auto parts = Partitions(*recovery);
  ASSERT_EQ(parts.size(), 2u);
  const CFATSearchedPartitionInfo* fat32 = FindByStart(parts, 2048);
  const CFATSearchedPartitionInfo* fat16 = FindByStart(parts, 133120);
  ASSERT_NE(fat32, nullptr);
  ASSERT_NE(fat16, nullptr);
  EXPECT_EQ(fat32->m_iFileSystem, 2);
  EXPECT_EQ(fat32->m_llClusterBaseSector, 2048 + 32 + 2 * 1009);
  EXPECT_EQ(fat32->m_iSectorsPerCluster, 1);
  EXPECT_EQ(fat32->GetFlags() & 0x3CC, 0x3C8u) << "backup boot sector and both FATs";
  EXPECT_EQ(fat16->m_iFileSystem, 1);
  EXPECT_EQ(fat16->m_llClusterBaseSector, 133120 + 164);
  EXPECT_EQ(fat16->m_iSectorsPerCluster, 4);
  EXPECT_EQ(fat16->m_dScore, 100.0) << "boot sector and both FATs";
  EXPECT_EQ(fat32->m_dScore, 95.0) << "backup boot sector only, both FATs";
  std::unique_ptr<IDataRecovery, void (*)(IDataRecovery*)> keep(recovery, [](IDataRecovery* r) { r->Release(); });

  // Each partition's tree holds the deleted files the quick scan lists.
  struct Volume {
    std::string image;
    int fsCode;
    const CFATSearchedPartitionInfo* partition;
  };
  const Volume volumes[] = {{m_dir + "/fat32.img", 2, fat32}, {m_dir + "/fat16.img", 1, fat16}};
  for (const Volume& v : volumes) {
    SCOPED_TRACE(v.image);
    DevicePtr volume = OpenVolume(v.image, v.fsCode);
    auto quick = RunScan(volume.get(), kControllerQuick);
    std::set<std::string> expected;
    for (const auto& [path, node] : quick->nodes) {
      if (node->IsDeleted() != 0) expected.insert(path);
    }
    ASSERT_GT(expected.size(), 8u);
    // The complete tree names each partition under its own root folder.
    std::size_t found = 0;
    for (const std::string& path : expected) {
      for (const auto& [full, node] : scan->nodes) {
        const auto* fat = dynamic_cast<CFileNode*>(node);
        if (fat == nullptr || fat->GetBelongedPartition() != v.partition->m_u16PartitionIndex) continue;
        if (full.size() >= path.size() && full.compare(full.size() - path.size(), path.size(), path) == 0 &&
            node->IsDeleted() != 0) {
          ++found;
          break;
        }
      }
    }
    EXPECT_EQ(found, expected.size());
  }
}

// The FAT32 volume formatted again as FAT16: the new volume is found from
// its boot sector, the old one from its sub-folders, whose entries come back
// under made-up folders and read back intact.
TEST_F(FatCompleteScan, AReformattedVolumeKeepsItsOldFolders) {
  DevicePtr device = OpenDisk(m_dir + "/reformat.img");
  ASSERT_TRUE(device);
  auto scan = RunScan(device.get(), kControllerWholeDisk);
  ASSERT_EQ(scan->result, 0u);
  IDataRecovery* recovery = scan->controller->GetDataRecovery(kSearcherFat);
  ASSERT_NE(recovery, nullptr);
  const auto parts = Partitions(*recovery);
  const CFATSearchedPartitionInfo* old = nullptr;
  bool fresh = false;
  for (const CFATSearchedPartitionInfo* p : parts) {
    if (p->m_iFileSystem == 2 && p->m_llClusterBaseSector == 32 + 2 * 1009 && p->m_iSectorsPerCluster == 1) old = p;
    if (p->m_iFileSystem == 1 && p->m_llStartSector == 0 && (p->GetFlags() & 0x002) != 0) fresh = true;
  }
  std::unique_ptr<IDataRecovery, void (*)(IDataRecovery*)> keep(recovery, [](IDataRecovery* r) { r->Release(); });
  EXPECT_TRUE(fresh);
  ASSERT_NE(old, nullptr);
  EXPECT_EQ(old->GetFlags(), 0x010u);

  // The old DOCS folder's entries, under a made-up "DIR" folder.
  IFileNode* pdf = nullptr;
  for (const auto& [path, node] : scan->nodes) {
    const auto slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash);
    const auto folderSlash = folder.rfind('/');
    const std::string folderName = folderSlash == std::string::npos ? folder : folder.substr(folderSlash + 1);
    if (name == "doc.pdf" && folderName.rfind("DIR", 0) == 0) pdf = node;
  }
  ASSERT_NE(pdf, nullptr);
  testsupport::TempDir out;
  ASSERT_EQ(Recover(*scan->controller, pdf, out.File("doc.pdf")), 0u);
  EXPECT_EQ(ReadFileBytes(out.File("doc.pdf")), ReadFileBytes(m_dir + "/src/doc.pdf"));
}

}  // namespace
