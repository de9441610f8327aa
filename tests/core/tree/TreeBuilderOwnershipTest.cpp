// Duplicates, merged copies, replayed scans and who frees which node.

#include <gtest/gtest.h>

#include "TreeRecorder.h"
#include "TreeTestNodes.h"
#include "core/tree/DirectoryTreeBuilder.h"
#include "core/tree/TreeBuilderFactory.h"

namespace {

IDataRunList* OneRun(long long start, long long length) {
  IDataRunList* list = CreateDataRunList();
  const DataRun run{start, length};
  list->AddDataRun(&run);
  return list;
}

class TreeBuilderOwnership : public ::testing::Test {
 protected:
  void Make(bool restoring) {
    m_builder = CreateTreeBuilder(restoring, &m_clock);
    ASSERT_EQ(m_builder->Initialize("", &m_sink, &m_filter), 1);
    m_builder->AddSearcherInfo(kSearcherFat, 0);
    m_builder->AddSearcherInfo(kSearcherNtfs, 5);
  }
  void TearDown() override {
    if (m_builder != nullptr) m_builder->Release();
    EXPECT_EQ(TreeNode::s_live, 0);
  }
  // Adds the node; a refused node is freed here, as an engine does.
  int Add(TreeNode* node, _tagSearcherType type = kSearcherFat) {
    const int taken = m_builder->AddNode(node, type);
    if (taken == 0) node->Release();
    return taken;
  }

  FakeClock m_clock;
  FakeFilter m_filter;
  OrderedTree m_sink;
  IDirecotryTreeBuilder* m_builder = nullptr;
};

TEST_F(TreeBuilderOwnership, NewerKeptCopyTakesTheExtentsAndSizeOfTheOtherCopy) {
  Make(false);
  auto* kept = new TreeNode({11, 0, "a.txt", false, true, 5, /*mtime*/ 200}, kSearcherFat);
  kept->SetDataRunList(OneRun(100, 1));
  ASSERT_EQ(Add(kept), 1);
  auto* older = new TreeNode({11, 0, "a.txt", false, true, 20, /*mtime*/ 100}, kSearcherFat);
  IDataRunList* olderRuns = OneRun(300, 4);
  older->SetDataRunList(olderRuns);
  ASSERT_EQ(m_builder->AddNode(older, kSearcherFat), 0);
  EXPECT_EQ(older->GetDataRunList(), nullptr);
  older->Release();
  EXPECT_EQ(kept->GetDataRunList(), olderRuns);
  EXPECT_EQ(kept->GetFileSize(), 20);
}

TEST_F(TreeBuilderOwnership, OlderOrEmptyKeptCopyKeepsItsExtents) {
  Make(false);
  auto* kept = new TreeNode({11, 0, "a.txt", false, true, 5, 100}, kSearcherFat);
  IDataRunList* keptRuns = OneRun(100, 1);
  kept->SetDataRunList(keptRuns);
  ASSERT_EQ(Add(kept), 1);

  auto* newer = new TreeNode({11, 0, "a.txt", false, true, 20, 200}, kSearcherFat);
  newer->SetDataRunList(OneRun(300, 4));
  EXPECT_EQ(Add(newer), 0);
  auto* emptyOlder = new TreeNode({11, 0, "a.txt", false, true, 0, 50}, kSearcherFat);
  emptyOlder->SetDataRunList(OneRun(400, 4));
  EXPECT_EQ(Add(emptyOlder), 0);
  auto* sizeWithoutRuns = new TreeNode({11, 0, "a.txt", false, true, 9, 50}, kSearcherFat);
  EXPECT_EQ(Add(sizeWithoutRuns), 0);

  EXPECT_EQ(kept->GetDataRunList(), keptRuns);
  EXPECT_EQ(kept->GetFileSize(), 5);
}

TEST_F(TreeBuilderOwnership, FatFolderFoundUnderTwoNamesIsKeptOnceWithTheNewerEntry) {
  Make(false);
  auto* first = new TreeNode({10, 0, "OLDNAME", true, true, 0, 0, /*ctime*/ 100}, kSearcherFat);
  ASSERT_EQ(Add(first), 1);
  EXPECT_EQ(Add(new TreeNode({10, 0, "NEWNAME", true, false, 0, 0, 200}, kSearcherFat)), 0);
  EXPECT_EQ(first->m_name, "NEWNAME");
  EXPECT_FALSE(first->m_deleted);
  EXPECT_EQ(first->m_ctime, 200);

  EXPECT_EQ(Add(new TreeNode({10, 0, "ANCIENT", true, true, 0, 0, 50}, kSearcherFat)), 0);
  EXPECT_EQ(first->m_name, "NEWNAME") << "an older entry does not replace the kept one";
}

TEST_F(TreeBuilderOwnership, FolderCopiesInOtherPartitionsOrOtherFileSystemsStayApart) {
  Make(false);
  auto* first = new TreeNode({10, 0, "ONE", true, false, 0, 0, 100, 0}, kSearcherFat);
  ASSERT_EQ(Add(first), 1);
  auto* otherPartition = new TreeNode({10, 0, "TWO", true, false, 0, 0, 200, 1}, kSearcherFat);
  EXPECT_EQ(Add(otherPartition), 1);
  EXPECT_EQ(first->m_name, "ONE");
  EXPECT_EQ(otherPartition->m_name, "TWO");

  auto* ntfsA = new TreeNode({40, 5, "alpha", true, false, 0, 0, 100}, kSearcherNtfs);
  auto* ntfsB = new TreeNode({40, 5, "beta", true, false, 0, 0, 200}, kSearcherNtfs);
  EXPECT_EQ(Add(ntfsA, kSearcherNtfs), 1);
  EXPECT_EQ(Add(ntfsB, kSearcherNtfs), 1);
  EXPECT_EQ(ntfsA->m_name, "alpha");
}

TEST_F(TreeBuilderOwnership, FilteredNodesAreRefusedAndStayWithTheCaller) {
  Make(false);
  m_filter.m_rejected = {"movie.avi"};
  auto* node = new TreeNode({11, 0, "movie.avi", false, true, 5}, kSearcherFat);
  EXPECT_EQ(m_builder->AddNode(node, kSearcherFat), 0);
  EXPECT_EQ(TreeNode::s_live, 1);
  node->Release();
  EXPECT_EQ(m_builder->AddNode(nullptr, kSearcherFat), 0);
  auto* noTree = new TreeNode({12, 0, "a.txt", false, true, 5}, kSearcherApfs);
  EXPECT_EQ(Add(noTree, kSearcherApfs), 0) << "no tree for that searcher";
}

TEST_F(TreeBuilderOwnership, ReleaseWithoutFinishingFreesEveryNodeItTook) {
  Make(false);
  ASSERT_EQ(Add(new TreeNode({10, 0, "d", true}, kSearcherFat)), 1);
  ASSERT_EQ(Add(new TreeNode({11, 99, "orphan", false, true, 3}, kSearcherFat)), 1);
  ASSERT_EQ(Add(new TreeNode({20, 0, "$RECYCLE.BIN", true}, kSearcherFat)), 1);
  ASSERT_EQ(Add(new TreeNode({21, 20, "$RX.txt", false, false, 3}, kSearcherFat)), 1);
  ASSERT_EQ(Add(new TreeNode({22, 20, "$IX.txt", false, false, 544}, kSearcherFat)), 1);
  ASSERT_EQ(Add(new TreeNode({30, 5, "n.txt", false, true, 3}, kSearcherNtfs), kSearcherNtfs), 1);
  m_clock.m_now += 5;
  ASSERT_EQ(Add(new TreeNode({31, 5, "m.txt", false, true, 3}, kSearcherNtfs), kSearcherNtfs), 1);
  EXPECT_EQ(m_sink.m_batches.size(), 1u);
  // TearDown releases the builder and checks that nothing is left.
}

TEST_F(TreeBuilderOwnership, RecycleEntriesOfOneSearcherStayInItsTree) {
  Make(false);
  ASSERT_EQ(Add(new TreeNode({20, 5, "$Recycle.Bin", true}, kSearcherNtfs), kSearcherNtfs), 1);
  auto* recycled = new TreeNode({21, 20, "$RX.txt", false, false, 3}, kSearcherNtfs);
  ASSERT_EQ(Add(recycled, kSearcherNtfs), 1);
  ASSERT_EQ(Add(new TreeNode({10, 0, "d", true}, kSearcherFat)), 1);
  ASSERT_EQ(Add(new TreeNode({11, 10, "a.txt", false, true, 3}, kSearcherFat)), 1);

  m_builder->FlashBuild(kSearcherFat);
  EXPECT_EQ(recycled->GetParent(), nullptr) << "the FAT tree does not take NTFS entries";
  m_builder->FlashBuild(kSearcherNtfs);
  ASSERT_EQ(m_sink.m_roots.size(), 2u);
  EXPECT_EQ(PrintTree(m_sink.m_roots[1]), (std::vector<std::string>{"Disk(NTFS)/$Recycle.Bin/ (deleted)",
                                                                    "Disk(NTFS)/$Recycle.Bin/$RX.txt (deleted)"}));
}

TEST_F(TreeBuilderOwnership, ReplayedScanKeepsDuplicatesAndPrivateDataAndFreesOnRelease) {
  Make(true);
  m_builder->AddSearcherInfo(kSearcherHfsPlus, 2);
  ASSERT_EQ(Add(new TreeNode({10, 0, "d", true}, kSearcherFat)), 1);
  ASSERT_EQ(Add(new TreeNode({11, 10, "a.txt", false, true, 5}, kSearcherFat)), 1);
  ASSERT_EQ(Add(new TreeNode({11, 10, "a.txt", false, true, 5}, kSearcherFat)), 1);
  ASSERT_EQ(Add(new TreeNode({12, 99, "unshown", false, true, 0}, kSearcherFat)), 1);
  ASSERT_EQ(Add(new TreeNode({16, 2, "HFS+ Private Data", true}, kSearcherHfsPlus), kSearcherHfsPlus), 1);
  m_builder->FlashBuild(kSearcherFat);
  EXPECT_EQ(PrintTree(m_sink.m_roots[0]),
            (std::vector<std::string>{"Disk(FAT/FAT32)/d/", "Disk(FAT/FAT32)/d/a.txt (deleted)",
                                      "Disk(FAT/FAT32)/d/a.txt (deleted)"}));
  EXPECT_EQ(TreeNode::s_live, 5) << "a replayed tree keeps what it did not show until release";
}

TEST_F(TreeBuilderOwnership, DeepChainsDoNotOverflowAndOnlyRootedNodesAreShown) {
  Make(false);
  constexpr int kDepth = CDirectoryTreeBuilder::kMaxTreeDepth + 500;
  ASSERT_EQ(Add(new TreeNode({kDepth + 1, kDepth, "bottom.txt", false, true, 1}, kSearcherFat)), 1);
  for (int id = kDepth; id >= 1; --id) {
    ASSERT_EQ(Add(new TreeNode({id, id - 1, "d" + std::to_string(id), true}, kSearcherFat)), 1);
  }
  m_builder->FlashBuild(kSearcherFat);
  ASSERT_EQ(m_sink.m_roots.size(), 1u);
  std::vector<IFileNode*> batched = BatchedNodes(m_sink);
  std::vector<IFileNode*> below = NodesBelow(m_sink.m_roots[0]);
  std::sort(batched.begin(), batched.end());
  std::sort(below.begin(), below.end());
  EXPECT_EQ(batched, below) << "no shown node hangs on a freed one";
  EXPECT_GT(below.size(), 1000u);
}

}  // namespace
