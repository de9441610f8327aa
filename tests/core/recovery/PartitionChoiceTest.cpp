#include "core/recovery/PartitionChoice.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/model/SearchedPartitionInfo.h"
#include "core/recovery/RecoveryTestNode.h"

namespace {

std::unique_ptr<CSearchedPartitionInfo> Partition(unsigned short index, long long start, long long total, int spc,
                                                  double score = 0) {
  auto p = std::make_unique<CSearchedPartitionInfo>(512);
  p->m_u16PartitionIndex = index;
  p->m_llStartSector = start;
  p->SetTotalSectors(total);
  p->m_iSectorsPerCluster = spc;
  p->m_dScore = score;
  return p;
}

TEST(PartitionChoice, SinglePartitionIsTakenWithoutTests) {
  auto only = Partition(7, 1000, 10, 3);
  RecoveryTestNode node("f", 100, {{-5, 1}});
  EXPECT_EQ(GetNodePartition({only.get()}, &node), only.get());
  EXPECT_EQ(GetNodePartition({only.get()}, nullptr), nullptr);
  EXPECT_EQ(GetNodePartition({}, &node), nullptr);
}

TEST(PartitionChoice, RulesInOrder) {
  auto first = Partition(1, 0, 100, 8, 0.9);
  auto second = Partition(2, 1000, 10000, 4);
  auto third = Partition(3, 1000, 10000, 8);
  const std::vector<CSearchedPartitionInfo*> list = {first.get(), second.get(), third.get()};

  struct Case {
    const char* what;
    unsigned short partition;
    long long metadata;
    long long size;
    std::vector<DataRun> runs;
    CSearchedPartitionInfo* want;
  };
  const Case cases[] = {
      {"index match wins", 3, -1, 100, {{300, 3}}, third.get()},
      {"3 clusters of 6,000 bytes: g = 4", 9, 2000, 6000, {{300, 3}}, second.get()},
      {"3 clusters of 12,000 bytes: g = 8", 9, 2000, 12000, {{200, 3}}, third.get()},
      {"one cluster fits any even size", 9, 2000, 100, {{300, 1}}, second.get()},
      {"metadata outside every range", 9, 50000, 6000, {{300, 3}}, first.get()},
      {"metadata on the start sector is outside", 9, 1000, 6000, {{300, 3}}, first.get()},
      {"run before the partition", 9, 2000, 6000, {{100, 3}}, first.get()},
      {"run past the partition", 9, 2000, 6000, {{2749, 3}}, first.get()},
      {"sparse runs have no place to test", 9, 2000, 6000, {{-1, 1}, {300, 2}}, second.get()},
      {"tiny clusters: g below 2 fails", 9, 2000, 1500, {{300, 3}}, first.get()},
  };
  for (const Case& c : cases) {
    RecoveryTestNode node("f", c.size);
    IDataRunList* l = CreateDataRunList();
    for (const DataRun& r : c.runs) l->AddDataRun(&r);
    node.SetDataRunList(l);
    node.SetBelongedPartition(c.partition);
    node.SetMetaDataSector(c.metadata);
    EXPECT_EQ(GetNodePartition(list, &node), c.want) << c.what;
  }
}

TEST(PartitionChoice, OddClusterSizesNeverFit) {
  auto first = Partition(1, 0, 10, 8);
  auto odd = Partition(2, 0, 100000, 3);
  RecoveryTestNode node("f", 100, {{10, 1}});
  node.SetMetaDataSector(50);
  EXPECT_EQ(GetNodePartition({first.get(), odd.get()}, &node), first.get());
}

}  // namespace
