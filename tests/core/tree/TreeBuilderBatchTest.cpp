// When batches reach the sink: node count, elapsed time, the HFS+ wait, the
// pause after a new root.

#include <gtest/gtest.h>

#include <string>

#include "TreeRecorder.h"
#include "TreeTestNodes.h"
#include "core/tree/DirectoryTreeBuilder.h"
#include "core/tree/TreeBuilderFactory.h"

namespace {

class TreeBuilderBatches : public ::testing::Test {
 protected:
  void SetUp() override {
    m_builder = CreateTreeBuilder(false, &m_clock);
    ASSERT_EQ(m_builder->Initialize("disk2s1", &m_sink, &m_filter), 1);
  }
  void TearDown() override {
    m_builder->Release();
    EXPECT_EQ(TreeNode::s_live, 0);
  }

  // A deleted file directly under the root of a tree whose root id is 0.
  void AddFile(long long id, _tagSearcherType type = kSearcherFat, long long parent = 0) {
    auto* node = new TreeNode({id, parent, "f" + std::to_string(id), false, true, 1}, type);
    ASSERT_EQ(m_builder->AddNode(node, type), 1);
  }

  FakeClock m_clock;
  FakeFilter m_filter;
  OrderedTree m_sink;
  IDirecotryTreeBuilder* m_builder = nullptr;
};

TEST_F(TreeBuilderBatches, BuildsWhenMoreThan1023NodesArrived) {
  m_builder->AddSearcherInfo(kSearcherFat, 0);
  for (int i = 1; i <= CDirectoryTreeBuilder::kBuildBatchNodes; ++i) AddFile(i);
  EXPECT_TRUE(m_sink.m_events.empty());
  AddFile(5000);
  ASSERT_EQ(m_sink.m_batches.size(), 1u);
  EXPECT_EQ(m_sink.m_batches[0].nodes.size(), 1024u);
  EXPECT_EQ(m_sink.m_batches[0].last, 0);
  EXPECT_EQ(m_sink.m_events, "RB");
  AddFile(5001);
  EXPECT_EQ(m_sink.m_batches.size(), 1u) << "the count starts again after a build";
}

TEST_F(TreeBuilderBatches, BuildsWhenThreeSecondsPassed) {
  m_builder->AddSearcherInfo(kSearcherFat, 0);
  AddFile(1);
  m_clock.m_now += 2;
  AddFile(2);
  EXPECT_TRUE(m_sink.m_batches.empty());
  m_clock.m_now += 1;
  AddFile(3);
  ASSERT_EQ(m_sink.m_batches.size(), 1u);
  EXPECT_EQ(m_sink.m_batches[0].nodes.size(), 3u);
  m_clock.m_now += 2;
  AddFile(4);
  EXPECT_EQ(m_sink.m_batches.size(), 1u) << "the clock starts again after a build";
}

TEST_F(TreeBuilderBatches, EachRootIsShownOnceBeforeItsFirstBatchThenPauses) {
  m_builder->AddSearcherInfo(kSearcherFat, 0);
  m_builder->AddSearcherInfo(kSearcherNtfs, 5);
  AddFile(1);
  AddFile(2, kSearcherNtfs, 5);
  m_clock.m_now += 3;
  AddFile(3);
  AddFile(4, kSearcherNtfs, 5);
  m_clock.m_now += 3;
  AddFile(5);
  m_builder->FlashBuild(kSearcherFat);
  m_builder->FlashBuild(kSearcherNtfs);

  EXPECT_EQ(m_sink.m_events, "RBRBB");
  ASSERT_EQ(m_sink.m_roots.size(), 2u);
  EXPECT_STREQ(m_sink.m_roots[0]->GetFileName(), "disk2s1(FAT/FAT32)");
  EXPECT_STREQ(m_sink.m_roots[0]->GetVolumeName(), "disk2s1");
  EXPECT_STREQ(m_sink.m_roots[1]->GetFileName(), "disk2s1(NTFS)");
  EXPECT_EQ(m_sink.m_roots[1]->GetCurrentNodeID(), 5);
  EXPECT_EQ(m_clock.m_sleeps, (std::vector<int>{1, 1}));
  for (const auto& batch : m_sink.m_batches) EXPECT_EQ(batch.last, 0);
}

TEST_F(TreeBuilderBatches, HfsPlusTreeWaitsForItsPrivateDataFolder) {
  m_builder->AddSearcherInfo(kSearcherHfsPlus, 2);
  for (int i = 100; i < 2100; ++i) AddFile(i, kSearcherHfsPlus, 2);
  m_clock.m_now += 10;
  AddFile(3000, kSearcherHfsPlus, 2);
  EXPECT_TRUE(m_sink.m_events.empty());

  auto* privateData = new TreeNode({16, 2, "HFS+ Private Data", true}, kSearcherHfsPlus);
  EXPECT_EQ(m_builder->AddNode(privateData, kSearcherHfsPlus), 0);
  privateData->Release();
  AddFile(3001, kSearcherHfsPlus, 2);
  ASSERT_EQ(m_sink.m_batches.size(), 1u);
  EXPECT_EQ(m_sink.m_batches[0].nodes.size(), 2002u);
}

TEST_F(TreeBuilderBatches, ForcedBuildShowsAnHfsPlusTreeWithoutPrivateData) {
  m_builder->AddSearcherInfo(kSearcherHfsPlus, 2);
  AddFile(100, kSearcherHfsPlus, 2);
  m_builder->FlashBuild(kSearcherHfsPlus);
  ASSERT_EQ(m_sink.m_batches.size(), 1u);
  EXPECT_EQ(m_sink.m_batches[0].nodes.size(), 1u);
}

TEST_F(TreeBuilderBatches, EmptyDeviceNameGivesDiskRootsAndAnotherIdOnlyMovesTheRoot) {
  IDirecotryTreeBuilder* builder = CreateTreeBuilder(false, &m_clock);
  ASSERT_EQ(builder->Initialize("", &m_sink, &m_filter), 1);
  builder->AddSearcherInfo(kSearcherRawByLabel, 0);
  EXPECT_EQ(builder->AddSearcherInfo(kSearcherRawByLabel, 7), 1);
  auto* node = new TreeNode({8, 7, "pic.jpg", false, true, 10}, kSearcherRawByLabel);
  ASSERT_EQ(builder->AddNode(node, kSearcherRawByLabel), 1);
  builder->FlashBuild(kSearcherRawByLabel);
  ASSERT_EQ(m_sink.m_roots.size(), 1u);
  EXPECT_STREQ(m_sink.m_roots[0]->GetFileName(), "Disk(Label RAW Files)");
  EXPECT_EQ(node->GetParent(), m_sink.m_roots[0]);
  builder->Release();
}

TEST_F(TreeBuilderBatches, InitializeRefusesMissingArguments) {
  IDirecotryTreeBuilder* builder = CreateTreeBuilder(false, &m_clock);
  EXPECT_EQ(builder->Initialize(nullptr, &m_sink, &m_filter), 0);
  EXPECT_EQ(builder->Initialize("d", nullptr, &m_filter), 0);
  EXPECT_EQ(builder->Initialize("d", &m_sink, nullptr), 0);
  builder->AddSearcherInfo(kSearcherFat, 0);
  auto* node = new TreeNode({1, 0, "a", false, true, 1}, kSearcherFat);
  EXPECT_EQ(builder->AddNode(node, kSearcherFat), 0) << "no filter yet";
  node->Release();  // a refused node stays with the caller
  builder->Release();
}

}  // namespace
