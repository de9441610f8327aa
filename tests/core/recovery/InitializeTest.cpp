#include <gtest/gtest.h>

#include <vector>

#include "core/model/SearchedPartitionInfo.h"
#include "core/recovery/RecoveryWriter.h"
#include "support/MemoryDevice.h"

namespace {

// A searcher that reports `count` partitions with the given scores; like the
// HFS+ complete searcher it writes nothing when the array is too small.
class FakeSearcher : public IFileSystemSearchController {
 public:
  explicit FakeSearcher(std::vector<double> scores, bool nullSecond = false)
      : m_scores(std::move(scores)), m_nullSecond(nullSecond) {}
  void SetDirecotryTreeBuilder(IDirecotryTreeBuilder*) override {}
  int GetSearchedPartitionInfo(CSearchedPartitionInfo** out, int capacity) override {
    capacities.push_back(capacity);
    const int n = static_cast<int>(m_scores.size());
    if (capacity < n) return n;
    for (int i = 0; i < n; ++i) {
      if (m_nullSecond && i == 1) continue;
      out[i] = new CSearchedPartitionInfo(512);
      out[i]->m_dScore = m_scores[static_cast<std::size_t>(i)];
      out[i]->m_u16PartitionIndex = static_cast<std::uint16_t>(i);
    }
    return n;
  }
  std::vector<int> capacities;

 private:
  std::vector<double> m_scores;
  bool m_nullSecond;
};

testsupport::MemoryDevice Device() { return testsupport::MemoryDevice(std::vector<std::uint8_t>(4096)); }

TEST(DataRecoveryInitialize, SortsPartitionsByScoreWithNullLast) {
  auto device = Device();
  FakeSearcher searcher({0.2, 0.0, 0.9, 0.5}, true);
  CDataRecovery rec;
  ASSERT_EQ(rec.Initialize(&searcher, &device), 0u);
  auto& list = rec.GetSearchedPartition();
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[0]->m_u16PartitionIndex, 2);
  EXPECT_EQ(list[1]->m_u16PartitionIndex, 3);
  EXPECT_EQ(list[2]->m_u16PartitionIndex, 0);
  EXPECT_EQ(list[3], nullptr);
  EXPECT_EQ(searcher.capacities, std::vector<int>{256});
}

TEST(DataRecoveryInitialize, AsksAgainWhenMoreThan256) {
  auto device = Device();
  FakeSearcher searcher(std::vector<double>(300, 1.0));
  CDataRecovery rec;
  ASSERT_EQ(rec.Initialize(&searcher, &device), 0u);
  EXPECT_EQ(rec.GetSearchedPartition().size(), 300u);
  EXPECT_EQ(searcher.capacities, (std::vector<int>{256, 300}));
}

TEST(DataRecoveryInitialize, FailureCodes) {
  auto device = Device();
  FakeSearcher none({});
  CDataRecovery rec;
  EXPECT_EQ(result::CodeOf(rec.Initialize(&none, &device)), 0xD01u);
  EXPECT_EQ(result::ModuleOf(rec.Initialize(&none, &device)), 0x010D);
  EXPECT_EQ(result::CodeOf(rec.Initialize(static_cast<IFileSystemSearchController*>(nullptr), &device)), 5u);
  EXPECT_EQ(result::CodeOf(rec.Initialize(&none, nullptr)), 5u);
}

TEST(DataRecoveryInitialize, SavedPartitionsAreCopied) {
  auto device = Device();
  CSearchedPartitionInfo a(4096), b(512);
  a.m_llClusterBaseSector = 77;
  a.m_dScore = 0.1;
  b.m_dScore = 0.8;
  CDataRecovery rec;
  ASSERT_EQ(rec.Initialize(std::vector<CSearchedPartitionInfo*>{&a, &b}, &device), 0u);
  auto& list = rec.GetSearchedPartition();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_NE(list[0], &a);
  EXPECT_EQ(list[0]->m_llClusterBaseSector, 77);
  EXPECT_EQ(list[0]->m_iSectorSize, 4096);
  EXPECT_EQ(list[1]->m_dScore, 0.8) << "kept in the saved order";
}

}  // namespace
