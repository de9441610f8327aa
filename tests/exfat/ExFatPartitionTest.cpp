// FAT window cache and the runs of files, contiguous, chained and deleted.
#include <gtest/gtest.h>

#include <vector>

#include "core/model/DataRun.h"
#include "exfat/ExFatPartition.h"
#include "support/MemoryDevice.h"

namespace {

using Runs = std::vector<std::pair<long long, long long>>;

Runs RunsOf(IDataRunList* list) {
  Runs out;
  for (const DataRun* r = list->GetFirst(); r != nullptr; r = list->GetNext()) out.emplace_back(r->start, r->length);
  list->Release();
  return out;
}

// A device whose FAT starts at sector 1 and spans `fatSectors` sectors.
testsupport::MemoryDevice FatDevice(std::uint32_t fatSectors,
                                    const std::vector<std::pair<std::uint32_t, std::uint32_t>>& entries) {
  std::vector<std::uint8_t> bytes((fatSectors + 16) * 512, 0);
  for (auto [cluster, next] : entries) {
    const std::size_t at = 512 + std::size_t{cluster} * 4;
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(next >> (8 * i));
  }
  return testsupport::MemoryDevice(std::move(bytes));
}

struct Geometry : CExFatPartition {
  Geometry() {
    m_sectorsPerCluster = 8;
    m_bytesPerCluster = 4096;
    m_clusterLimit = 1002;
    m_heapStartSector = 100;
  }
};

_tagFileBaseInfo File(std::uint32_t first, long long length, bool contiguous, bool inUse) {
  _tagFileBaseInfo f;
  f.firstCluster = first;
  f.dataLength = length;
  f.noFatChain = contiguous ? 1 : 0;
  f.inUse = inUse ? 1 : 0;
  f.name = "f";
  return f;
}

TEST(ExFatFatTable, WindowsAreReadOnDemandAndTheLowestIsDropped) {
  // 0x40000 entries a window: clusters 0x3FFFF and 0x40000 lie in two.
  testsupport::MemoryDevice device = FatDevice(20 * 2048, {{0x3FFFF, 7}, {0x40000, 9}});
  CFatTable fat;
  fat.CreateFatTable(&device, 1, 20 * 2048, 0);
  ASSERT_TRUE(fat.IsValid());
  EXPECT_EQ(fat.GetNextCluster(0x3FFFF), 7u);
  EXPECT_EQ(fat.GetNextCluster(0x40000), 9u);
  for (std::uint32_t w = 2; w < 11; ++w) fat.GetNextCluster(w * 0x40000);
  EXPECT_EQ(fat.WindowCount(), CFatTable::kMaxWindows);
  EXPECT_EQ(fat.GetNextCluster(0x3FFFF), 7u);  // read again after its eviction
  EXPECT_EQ(fat.GetNextCluster(20 * 0x40000), 0xFFFFFFFFu) << "past the FAT";
}

TEST(ExFatFatTable, AFatReachingTheDeviceEndIsRefused) {
  testsupport::MemoryDevice device = FatDevice(8, {});
  CFatTable fat;
  fat.CreateFatTable(&device, 1, static_cast<std::uint32_t>(device.GetTotalSectors() - 1), 0);
  EXPECT_FALSE(fat.IsValid());
  EXPECT_EQ(fat.GetNextCluster(5), 0xFFFFFFFFu);
}

TEST(ExFatRuns, ContiguousFilesTakeTheirClustersUpToTheHeapEnd) {
  Geometry p;
  EXPECT_EQ(RunsOf(p.BuildFileDataRun(File(10, 1, true, true))), (Runs{{8, 1}}));
  EXPECT_EQ(RunsOf(p.BuildFileDataRun(File(10, 8192, true, true))), (Runs{{8, 2}}));
  EXPECT_EQ(RunsOf(p.BuildFileDataRun(File(1000, 5 * 4096, true, true))), (Runs{{998, 2}}));
  _tagFileBaseInfo folder = File(10, 4096, true, true);
  folder.attributes = 0x10;
  EXPECT_TRUE(RunsOf(p.BuildFileDataRun(folder)).empty());
}

TEST(ExFatRuns, ChainsFollowTheFatAndLoopsEndWithTheLength) {
  testsupport::MemoryDevice device = FatDevice(8, {{10, 11}, {11, 20}, {20, 0xFFFFFFFF}, {30, 31}, {31, 30}});
  Geometry p;
  p.m_fat.CreateFatTable(&device, 1, 8, 0);
  EXPECT_EQ(RunsOf(p.BuildFileDataRun(File(10, 3 * 4096, false, true))), (Runs{{8, 2}, {18, 1}}));
  // A looping chain gives no more clusters than the length needs.
  Runs loop = RunsOf(p.BuildFileDataRun(File(30, 6 * 4096, false, true)));
  long long clusters = 0;
  for (auto [start, length] : loop) clusters += length;
  EXPECT_EQ(clusters, 6);
}

// A deleted file whose chain was freed goes on through the free clusters.
TEST(ExFatRuns, DeletedFilesWithAFreedChainSkipClustersInUse) {
  testsupport::MemoryDevice device = FatDevice(8, {});
  Geometry p;
  p.m_fat.CreateFatTable(&device, 1, 8, 0);
  EXPECT_EQ(RunsOf(p.BuildFileDataRun(File(10, 4 * 4096, false, false))), (Runs{{8, 4}}));
  std::vector<std::uint8_t> bitmap(125, 0);
  bitmap[(12 - 2) / 8] |= 1 << ((12 - 2) % 8);  // clusters 12 and 13 in use
  bitmap[(13 - 2) / 8] |= 1 << ((13 - 2) % 8);
  p.SetAllocationBitmap(bitmap);
  EXPECT_EQ(RunsOf(p.BuildFileDataRun(File(10, 4 * 4096, false, false))), (Runs{{8, 2}, {12, 2}}));
  // A live file keeps to its chain.
  EXPECT_EQ(RunsOf(p.BuildFileDataRun(File(10, 4 * 4096, false, true))), (Runs{{8, 1}}));
}

}  // namespace
