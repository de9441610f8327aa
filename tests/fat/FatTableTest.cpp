// FAT loading and checks, and the runs built from them.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "fat/FatBuildDataRun.h"
#include "fat/FatTable.h"
#include "support/MemoryDevice.h"
#include "support/Bytes.h"

namespace {

using testsupport::MemoryDevice;

// A FAT16 of `sectors` 512-byte sectors with the usual header, at sector 0.
std::vector<std::uint8_t> Fat16(std::uint32_t sectors) {
  std::vector<std::uint8_t> fat(sectors * 512, 0);
  fat[0] = 0xF8;
  fat[1] = 0xFF;
  fat[2] = 0xFF;
  fat[3] = 0xFF;
  return fat;
}

void Set16(std::vector<std::uint8_t>& fat, std::uint32_t i, std::uint16_t v) { testsupport::PutLe16(fat, i * 2, v); }

bool Loads(const std::vector<std::uint8_t>& fat) {
  MemoryDevice device(fat);
  std::unique_ptr<IRealFATTable> table(
      IFATTableFactory::CreateRealFATTable(&device, kFatTypeFat16, 0, static_cast<std::uint32_t>(fat.size() / 512)));
  return table != nullptr;
}

TEST(FatTables, Fat16ChecksRejectSharedTargetsSelfLinksAndLoops) {
  std::vector<std::uint8_t> good = Fat16(12);
  Set16(good, 2, 3);
  Set16(good, 3, 0xFFFF);
  Set16(good, 4, 0xFFF7);  // bad cluster
  EXPECT_TRUE(Loads(good));

  std::vector<std::uint8_t> shared = good;
  Set16(shared, 5, 3);
  EXPECT_FALSE(Loads(shared));
  std::vector<std::uint8_t> self = good;
  Set16(self, 6, 6);
  EXPECT_FALSE(Loads(self));
  std::vector<std::uint8_t> loop = good;
  Set16(loop, 7, 8);
  Set16(loop, 8, 9);
  Set16(loop, 9, 7);
  EXPECT_FALSE(Loads(loop));
  std::vector<std::uint8_t> outside = good;
  Set16(outside, 10, 0xF000);  // past the table
  EXPECT_FALSE(Loads(outside));
  EXPECT_FALSE(Loads(Fat16(11))) << "below the FAT16 size range";
}

// One chain through every cluster, walked backwards: the check stays linear.
TEST(FatTables, ALongDescendingChainIsCheckedQuickly) {
  std::vector<std::uint8_t> fat = Fat16(256);
  const std::uint32_t n = 256 * 512 / 2;
  for (std::uint32_t i = n - 1; i > 2; --i) Set16(fat, i, static_cast<std::uint16_t>(i - 1));
  Set16(fat, 2, 0xFFFF);
  EXPECT_TRUE(Loads(fat));
}

TEST(FatTables, NextClusterAnswersOfEachKind) {
  std::vector<std::uint8_t> fat = Fat16(12);
  Set16(fat, 2, 3);
  Set16(fat, 3, 0xFFF8);
  MemoryDevice device(fat);
  std::unique_ptr<IFATTable> pair(IFATTableFactory::CreateFATTable(&device, 0, kFatTypeFat16, 12, 0, 0));
  EXPECT_EQ(pair->GetNextCluster(2), 3u);
  EXPECT_EQ(pair->GetNextCluster(3), 0x0FFFFFF8u);
  EXPECT_EQ(pair->GetNextCluster(1u << 20), 0u) << "past the table";

  // FAT12: the last entry's two bytes lie inside the table.
  std::vector<std::uint8_t> fat12(512, 0);
  fat12[0] = 0xF8;
  fat12[1] = 0xFF;
  fat12[2] = 0xFF;
  MemoryDevice device12(fat12);
  CFAT12Table table12(&device12, 0, 1);
  EXPECT_EQ(table12.GetNextCluster(340), 0u);
  EXPECT_EQ(table12.GetNextCluster(341), 0u) << "its u16 would end past the buffer";
}

// A FAT that answers from a table of next values.
class ListFat : public IFATTable {
 public:
  explicit ListFat(std::vector<std::uint32_t> next) : m_next(std::move(next)) {}
  std::uint32_t GetNextCluster(std::uint32_t c) override { return c < m_next.size() ? m_next[c] : 0; }
  std::vector<std::uint32_t> m_next;
};

using RunList = std::vector<std::pair<long long, long long>>;

RunList Runs(IDataRunList* list) {
  RunList out;
  if (list == nullptr) return out;
  for (const DataRun* r = list->GetFirst(); r != nullptr; r = list->GetNext()) out.emplace_back(r->start, r->length);
  list->Release();
  return out;
}

TEST(FatRuns, LiveFilesFollowTheirChain) {
  // 2 -> 3 -> 7 -> end; 512-byte clusters.
  ListFat fat({0, 0, 3, 7, 0, 0, 0, 0x0FFFFFFF});
  CFATBuildDataRun runs(&fat, 512, 1, 1000);
  EXPECT_EQ(Runs(runs.BuildDataRunList(2, 1500, 0)), (RunList{{0, 2}, {5, 1}}));
  // The chain ends early: the last run covers the rest by length.
  EXPECT_EQ(Runs(runs.BuildDataRunList(7, 2000, 0)), (RunList{{5, 4}}));
  // The rest of a size past the partition's end runs only to that end (the
  // caller cuts the size to what the runs hold).
  EXPECT_EQ(Runs(runs.BuildDataRunList(7, 600 * 1024, 0)), (RunList{{5, 995}}));
  // A chain leading out of the partition gives no runs.
  ListFat out({0, 0, 5000, 0});
  CFATBuildDataRun escaping(&out, 512, 1, 1000);
  EXPECT_TRUE(Runs(escaping.BuildDataRunList(2, 4 * 512, 0)).empty());
}

TEST(FatRuns, ALoopingChainStopsAtTheFilesLength) {
  ListFat fat({0, 0, 3, 2});
  CFATBuildDataRun runs(&fat, 512, 1, 1000);
  const auto list = Runs(runs.BuildDataRunList(2, 4 * 512, 0));
  long long clusters = 0;
  for (const auto& r : list) clusters += r.second;
  EXPECT_LE(clusters, 4);
}

// Deleted files take free clusters after their first, skipping those the
// FAT gives to other files.
TEST(FatRuns, DeletedFilesSkipAllocatedClusters) {
  // Clusters 4 and 5 belong to a live file; the rest are free.
  ListFat fat({0, 0, 0, 0, 5, 0x0FFFFFFF, 0, 0, 0});
  CFATBuildDataRun runs(&fat, 512, 1, 1000);
  EXPECT_EQ(Runs(runs.BuildDataRunList(2, 4 * 512, 1)), (RunList{{0, 2}, {4, 2}}));
  // The first cluster is the entry's, allocated or not.
  EXPECT_EQ(Runs(runs.BuildDataRunList(4, 512, 1)), (RunList{{2, 1}}));
}

// Cluster numbers from a damaged entry never wrap into the partition.
TEST(FatRuns, HugeClustersGiveNoRuns) {
  ListFat fat({});
  CFATBuildDataRun runs(&fat, 512, 128, 1u << 20);
  EXPECT_TRUE(Runs(runs.BuildDataRunList(0x02000002, 4096, 1)).empty());
  EXPECT_TRUE(Runs(runs.BuildDataRunList(0x02000002, 4096, 0)).empty());
  EXPECT_TRUE(Runs(runs.BuildDataRunList(1, 4096, 1)).empty());
}

}  // namespace
