// Synthetic node sets and the trees they must become.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "TreeRecorder.h"
#include "TreeTestNodes.h"
#include "core/tree/TreeBuilderFactory.h"

namespace {

struct TreeCase {
  const char* title;
  _tagSearcherType type;
  long long rootId;
  bool completeScan;
  std::vector<NodeSpec> nodes;
  std::vector<std::string> expected;
  std::vector<int> refused;  // indexes of the nodes AddNode must refuse
};

void PrintTo(const TreeCase& c, std::ostream* os) { *os << c.title; }

std::vector<TreeCase> Cases() {
  const auto F = kSearcherFat;
  return {
      {"deleted file in its folder",
       F,
       0,
       false,
       {{10, 0, "docs", true}, {11, 10, "a.txt", false, true, 5}},
       {"Disk(FAT/FAT32)/docs/", "Disk(FAT/FAT32)/docs/a.txt (deleted)"},
       {}},
      {"file arriving before its folder",
       F,
       0,
       false,
       {{11, 10, "a.txt", false, true, 5}, {10, 0, "docs", true}},
       {"Disk(FAT/FAT32)/docs/", "Disk(FAT/FAT32)/docs/a.txt (deleted)"},
       {}},
      {"quick scan links no live file",
       F,
       0,
       false,
       {{10, 0, "docs", true}, {11, 10, "live.txt", false, false, 5}, {12, 10, "gone.txt", false, true, 5}},
       {"Disk(FAT/FAT32)/docs/", "Disk(FAT/FAT32)/docs/gone.txt (deleted)"},
       {}},
      {"complete scan links live files",
       F,
       0,
       true,
       {{10, 0, "docs", true}, {11, 10, "live.txt", false, false, 5}, {12, 10, "gone.txt", false, true, 5}},
       {"Disk(FAT/FAT32)/docs/", "Disk(FAT/FAT32)/docs/gone.txt (deleted)", "Disk(FAT/FAT32)/docs/live.txt"},
       {}},
      {"folders without files are not shown", F, 0, true, {{10, 0, "empty", true}, {11, 10, "sub", true}}, {}, {}},
      {"orphans worth showing go to lost files",
       F,
       0,
       false,
       {{11, 99, "x.txt", false, true, 3}, {12, 99, "zero.txt", false, true, 0}, {13, 98, "live.txt", false, false, 4}},
       {"Disk(FAT/FAT32)/Other lost files/", "Disk(FAT/FAT32)/Other lost files/x.txt (deleted)"},
       {}},
      {"an orphan branch keeps its folder",
       F,
       0,
       false,
       {{50, 98, "lostdir", true}, {51, 50, "y.txt", false, true, 2}, {52, 50, "empty.txt", false, true, 0}},
       {"Disk(FAT/FAT32)/Other lost files/", "Disk(FAT/FAT32)/Other lost files/lostdir/",
        "Disk(FAT/FAT32)/Other lost files/lostdir/y.txt (deleted)"},
       {}},
      {"a node whose id equals its parent id is refused",
       F,
       0,
       false,
       {{10, 10, "self", true}, {11, 0, "ok.txt", false, true, 1}},
       {"Disk(FAT/FAT32)/ok.txt (deleted)"},
       {0}},
      {"a file found twice is kept once",
       F,
       0,
       false,
       {{10, 0, "d", true}, {11, 10, "a.txt", false, true, 5}, {11, 10, "a.txt", false, true, 5}},
       {"Disk(FAT/FAT32)/d/", "Disk(FAT/FAT32)/d/a.txt (deleted)"},
       {2}},
      {"the same file in two partitions is kept twice",
       F,
       0,
       false,
       {{10, 0, "d", true}, {11, 10, "a.txt", false, true, 5, 0, 0, 0}, {11, 10, "a.txt", false, true, 5, 0, 0, 1}},
       {"Disk(FAT/FAT32)/d/", "Disk(FAT/FAT32)/d/a.txt (deleted)", "Disk(FAT/FAT32)/d/a.txt (deleted)"},
       {}},
      {"dot names: files refused, folders renamed",
       F,
       0,
       false,
       {{10, 0, ".hidden", true}, {11, 10, "a.txt", false, true, 1}, {12, 10, ".DS_Store", false, true, 1}},
       {"Disk(FAT/FAT32)/hidden/", "Disk(FAT/FAT32)/hidden/a.txt (deleted)"},
       {2}},
      {"recycle bin entries are deleted and keep $R names without a device",
       F,
       0,
       false,
       {{10, 0, "$RECYCLE.BIN", true},
        {11, 10, "$RABC123.txt", false, false, 5},
        {12, 10, "$IABC123.txt", false, false, 544},
        {13, 10, "desktop.ini", false, false, 10}},
       {"Disk(FAT/FAT32)/$RECYCLE.BIN/ (deleted)", "Disk(FAT/FAT32)/$RECYCLE.BIN/$RABC123.txt (deleted)",
        "Disk(FAT/FAT32)/$RECYCLE.BIN/desktop.ini (deleted)"},
       {}},
      {"other recycle folder names, any case",
       F,
       0,
       false,
       {{10, 0, "RECYCLER", true},
        {11, 10, "Dc1.txt", false, false, 3},
        {20, 0, "$recycle.bin", true},
        {21, 20, "f.doc", false, false, 3},
        {30, 0, "$RECYCLE.BI0", true},
        {31, 30, "g.doc", false, false, 3}},
       {"Disk(FAT/FAT32)/$RECYCLE.BI0/ (deleted)", "Disk(FAT/FAT32)/$RECYCLE.BI0/g.doc (deleted)",
        "Disk(FAT/FAT32)/$recycle.bin/ (deleted)", "Disk(FAT/FAT32)/$recycle.bin/f.doc (deleted)",
        "Disk(FAT/FAT32)/RECYCLER/ (deleted)", "Disk(FAT/FAT32)/RECYCLER/Dc1.txt (deleted)"},
       {}},
      {"NTFS metadata names are not recycle entries",
       kSearcherNtfs,
       5,
       false,
       {{30, 5, "$Extend", true}, {31, 30, "$RmMetadata", true}, {32, 31, "$Repair", false, true, 8}},
       {"Disk(NTFS)/$Extend/", "Disk(NTFS)/$Extend/$RmMetadata/", "Disk(NTFS)/$Extend/$RmMetadata/$Repair (deleted)"},
       {}},
      {"volume trash at the root",
       F,
       0,
       false,
       {{10, 0, ".Trashes", true}, {11, 10, "501", true}, {12, 11, "live.doc", false, false, 4}},
       {"Disk(FAT/FAT32)/Trashes/ (deleted)", "Disk(FAT/FAT32)/Trashes/501/ (deleted)",
        "Disk(FAT/FAT32)/Trashes/501/live.doc (deleted)"},
       {}},
      {"freedesktop volume trash at the root",
       F,
       0,
       false,
       {{40, 0, ".Trash-1000", true}, {41, 40, "files", true}, {42, 41, "z.txt", false, false, 3}},
       {"Disk(FAT/FAT32)/Trash-1000/ (deleted)", "Disk(FAT/FAT32)/Trash-1000/files/ (deleted)",
        "Disk(FAT/FAT32)/Trash-1000/files/z.txt (deleted)"},
       {}},
      {"home trash of the scanned volume is moved to the root",
       kSearcherHfsPlus,
       2,
       false,
       {{16, 2, "HFS+ Private Data", true},
        {20, 2, "Users", true},
        {21, 20, "bob", true},
        {22, 21, ".Trash", true},
        {23, 22, "old.txt", false, false, 4}},
       {"Disk(HFS+)/Trash/ (deleted)", "Disk(HFS+)/Trash/old.txt (deleted)"},
       {0}},
      {"home trash arriving before its folders is found at the end",
       kSearcherHfsPlus,
       2,
       false,
       {{22, 21, ".Trash", true}, {23, 22, "old.txt", false, false, 4}, {20, 2, "Users", true}, {21, 20, "bob", true}},
       {"Disk(HFS+)/Users/", "Disk(HFS+)/Users/bob/", "Disk(HFS+)/Users/bob/Trash/ (deleted)",
        "Disk(HFS+)/Users/bob/Trash/old.txt (deleted)"},
       {}},
      {"a trash name outside a home is an ordinary folder",
       F,
       0,
       false,
       {{30, 0, "Projects", true},
        {31, 30, ".Trash", true},
        {32, 31, "x.txt", false, true, 4},
        {33, 31, "y.txt", false, false, 4}},
       {"Disk(FAT/FAT32)/Projects/", "Disk(FAT/FAT32)/Projects/Trash/",
        "Disk(FAT/FAT32)/Projects/Trash/x.txt (deleted)"},
       {}},
      {"HFS+ private data and its folders stay hidden",
       kSearcherHfsPlus,
       2,
       false,
       {{15, 16, "dir_15", true},
        {19, 15, "f.dat", false, true, 3},
        {16, 2, "HFS+ Private Data", true},
        {17, 16, "dir_17", true},
        {18, 16, "iNode18", false, false, 5},
        {20, 2, "Docs", true},
        {21, 20, "r.txt", false, true, 3}},
       {"Disk(HFS+)/Docs/", "Disk(HFS+)/Docs/r.txt (deleted)", "Disk(HFS+)/Other lost files/",
        "Disk(HFS+)/Other lost files/f.dat (deleted)"},
       {2, 3}},
      {"APFS keeps empty folders, live files and $R names",
       kSearcherApfs,
       1,
       false,
       {{10, 1, "emptydir", true}, {11, 1, "$RFOO.txt", false, false, 3}},
       {"Disk(APFS)/$RFOO.txt", "Disk(APFS)/emptydir/"},
       {}},
      {"the folder of the node's partition is chosen",
       F,
       0,
       false,
       {{10, 0, "p0", true, false, 0, 0, 0, 0},
        {10, 0, "p1", true, false, 0, 0, 0, 1},
        {11, 10, "a.txt", false, true, 3, 0, 0, 1}},
       {"Disk(FAT/FAT32)/p1/", "Disk(FAT/FAT32)/p1/a.txt (deleted)"},
       {}},
      {"a cycle of folders ends in lost files",
       F,
       0,
       false,
       {{1, 2, "A", true}, {2, 1, "B", true}, {3, 1, "f.txt", false, true, 3}},
       {"Disk(FAT/FAT32)/Other lost files/", "Disk(FAT/FAT32)/Other lost files/B/",
        "Disk(FAT/FAT32)/Other lost files/B/A/", "Disk(FAT/FAT32)/Other lost files/B/A/f.txt (deleted)"},
       {}},
      {"a live file under a deleted folder counts as deleted",
       F,
       0,
       false,
       {{10, 0, "old", true, true}, {11, 10, "keep.txt", false, false, 3}},
       {"Disk(FAT/FAT32)/old/ (deleted)", "Disk(FAT/FAT32)/old/keep.txt (deleted)"},
       {}},
      {"the deleted mark travels down loose folders",
       F,
       0,
       false,
       {{60, 99, "x", true, true}, {61, 60, "y", true}, {62, 61, "z.txt", false, false, 2}},
       {"Disk(FAT/FAT32)/Other lost files/", "Disk(FAT/FAT32)/Other lost files/x/ (deleted)",
        "Disk(FAT/FAT32)/Other lost files/x/y/ (deleted)", "Disk(FAT/FAT32)/Other lost files/x/y/z.txt (deleted)"},
       {}},
  };
}

class TreeBuilderTable : public ::testing::TestWithParam<TreeCase> {
 protected:
  void TearDown() override { EXPECT_EQ(TreeNode::s_live, 0) << "nodes leaked or freed twice"; }
};

TEST_P(TreeBuilderTable, BuildsTheExpectedTree) {
  const TreeCase& c = GetParam();
  FakeClock clock;
  FakeFilter filter;
  filter.SetScanType(c.completeScan ? kScanComplete : kScanQuick);
  OrderedTree sink;
  IDirecotryTreeBuilder* builder = CreateTreeBuilder(false, &clock);
  ASSERT_EQ(builder->Initialize("", &sink, &filter), 1);
  ASSERT_EQ(builder->AddSearcherInfo(c.type, c.rootId), 1);

  std::vector<int> refused;
  for (std::size_t i = 0; i < c.nodes.size(); ++i) {
    auto* node = new TreeNode(c.nodes[i], c.type);
    if (builder->AddNode(node, c.type) == 0) {
      refused.push_back(static_cast<int>(i));
      node->Release();
    }
  }
  builder->FlashBuild(c.type);
  EXPECT_EQ(refused, c.refused);

  if (c.expected.empty()) {
    EXPECT_TRUE(sink.m_events.empty());
  } else {
    ASSERT_EQ(sink.m_roots.size(), 1u);
    EXPECT_EQ(sink.m_events.find('R'), 0u) << "the root comes before its first batch";
    EXPECT_EQ(std::count(sink.m_events.begin(), sink.m_events.end(), 'R'), 1);
    IFilesystemNode* root = sink.m_roots.front();
    EXPECT_EQ(PrintTree(root), c.expected);

    // The batches carry exactly the nodes of the tree, each once.
    std::vector<IFileNode*> batched = BatchedNodes(sink);
    std::vector<IFileNode*> below = NodesBelow(root);
    std::sort(batched.begin(), batched.end());
    std::sort(below.begin(), below.end());
    EXPECT_EQ(batched, below);

    // `last` only on the final batch, the one with the lost-files folder.
    const bool hasLost = std::any_of(c.expected.begin(), c.expected.end(), [](const std::string& line) {
      return line.find("/Other lost files/") != std::string::npos;
    });
    for (std::size_t b = 0; b < sink.m_batches.size(); ++b) {
      const bool isLast = hasLost && b + 1 == sink.m_batches.size();
      EXPECT_EQ(sink.m_batches[b].last, isLast ? 1 : 0) << "batch " << b;
    }
    if (hasLost) {
      const auto& lostBatch = sink.m_batches.back().nodes;
      ASSERT_FALSE(lostBatch.empty());
      EXPECT_STREQ(lostBatch.back()->GetFileName(), "Other lost files");
      EXPECT_STREQ(lostBatch.back()->GetVolumeName(), "LostFiles");
      EXPECT_EQ(lostBatch.back()->GetParent(), root);
    }
  }
  builder->Release();
}

INSTANTIATE_TEST_SUITE_P(Cases, TreeBuilderTable, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<TreeCase>& info) {
                           std::string name;
                           for (const char* p = info.param.title; *p != '\0'; ++p) {
                             name += std::isalnum(static_cast<unsigned char>(*p)) != 0 ? *p : '_';
                           }
                           return name;
                         });

}  // namespace
