// The result trees as a scan with the scripted searcher fills them: by path,
// by category and extension, by creation and by modification date; rows,
// counts and check states through the tree items.

#include <gtest/gtest.h>

#include <chrono>

#include "bridge/JobThreads.h"
#include "bridge/MainThreadDispatcher.h"
#include "bridge/QVTimeMgr.h"
#include "bridge/QVTypeMgr.h"
#include "bridge/ResultTreesTestSupport.h"
#include "support/MemoryDevice.h"

using namespace bridgetest;

namespace {

constexpr int kMiB = 1024 * 1024;

long long Mid(int year, int month) { return FileTimeUtc(year, month, 15, 12, 0, 0); }

class ResultTreesThreads : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetEngines();
    bridge::DefaultQueue().BindToCurrentThread();
    QVUIController::SetRecoveryType(127);
    QVUIController::SetViewType(0);
    m_trees.Register();
  }
  void TearDown() override {
    QVUIController::StopScan(1);
    QVUIController::StopSearch();
    WaitForJobs();
    QVUIController::QVResetTreeNodeData();
    QVSetTreeRebuildHook(nullptr);
  }

  void Scan(const std::vector<NodeSpec>& nodes) {
    Script().nodes = nodes;
    m_device = std::make_unique<testsupport::MemoryDevice>(std::vector<std::uint8_t>(8 * kMiB), 512, kDeviceVolume);
    ASSERT_TRUE(QVUIController::DoScanWithDevice(m_device.get(), 1));
    ASSERT_TRUE(WaitForJobs());
    QVUIController::RefreshData();
    QVUIController::SetViewType(0);
    QVUIController::GetScanTreeNodeData(&m_trees.path, 0);
  }

  OpNodeData* Find(const OpNodeArray& array, const std::vector<std::string>& names) {
    const OpNodeList* level = nullptr;
    OpNodeData* found = nullptr;
    for (const OpNodePtr& item : array) {
      if (treetest::NameOf(*item) == names[0]) found = item.get();
    }
    for (std::size_t i = 1; found != nullptr && i < names.size(); ++i) {
      level = found->children().get();
      found = nullptr;
      if (level == nullptr) break;
      for (const OpNodeChild& c : *level) {
        OpNodeData* child = OpNodeItemOf(c);
        if (child != nullptr && treetest::NameOf(*child) == names[i]) found = child;
      }
    }
    return found;
  }

  treetest::Trees m_trees;
  std::unique_ptr<testsupport::MemoryDevice> m_device;
};

const std::vector<NodeSpec> kNodes = {
    {10, 0, "Docs", 0, true, false, 0, 0},
    {11, 10, "minutes.txt", 100, false, false, Mid(2024, 3), Mid(2023, 6)},
    {12, 10, "holiday.jpg", 2000, false, true, 0, Mid(2024, 3)},
    {13, 0, "song.mp3", 300, false, false, Mid(2023, 6), Mid(2023, 6)},
    {14, 10, "Sub", 0, true, false, 0, 0},
    {15, 14, "notes.TXT", 50, false, false, Mid(2024, 3), Mid(2024, 3)},
    {16, 0, "README", 7, false, false, 0, Mid(2022, 1)},
    {17, 14, "data.xyz", 9, false, false, Mid(2021, 11), 0},
    {18, 0, "Pics", 0, true, false, 0, 0},
    {19, 18, "Old", 0, true, false, 0, 0},
    {20, 19, "old.gif", 3, false, false, 0, 0},
};

TEST_F(ResultTreesThreads, AScanFillsThePathCategoryAndDateTrees) {
  Scan(kNodes);
  struct Case {
    const char* tree;
    const OpNodeArray* array;
    std::string expected;
  };
  const Case cases[] = {
      {"path", &m_trees.path, "<root>\n  Docs\n    Sub\n  Pics\n    Old\n"},
      {"category", &m_trees.type,
       "Documents\n  txt\n    - minutes.txt\n    - notes.TXT\nPictures\n  gif\n    - old.gif\n  jpg\n    - "
       "holiday.jpg\nMovies\n"
       "Music\n  mp3\n    - song.mp3\nArchives\nE-mail\nOther\n  - README\n  - data.xyz\n"},
      {"creation", &m_trees.created,
       "Creation date\n  2021\n    11\n      - data.xyz\n  2023\n    06\n      - song.mp3\n  2024\n    03\n"
       "      - minutes.txt\n      - notes.TXT\n"},
      {"modification", &m_trees.modified,
       "Modification date\n  2022\n    01\n      - README\n  2023\n    06\n      - minutes.txt\n      - song.mp3\n"
       "  2024\n    03\n      - holiday.jpg\n      - notes.TXT\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(treetest::Dump(*c.array), c.expected) << c.tree;
  // Date groups keep their sorted order without the dump's sorting.
  const OpNodeList& years = *m_trees.created.front()->children();
  ASSERT_EQ(years.size(), 3u);
  EXPECT_EQ(OpNodeItemOf(years[0])->name(), "2021");
  EXPECT_EQ(OpNodeItemOf(years[2])->name(), "2024");
}

TEST_F(ResultTreesThreads, RowsAndCountsOfEachKindOfItem) {
  Scan(kNodes);
  std::vector<IFileNode*> rows;
  auto names = [&rows] {
    std::vector<std::string> out;
    for (IFileNode* n : rows) out.emplace_back(n->GetFileName());
    std::sort(out.begin(), out.end());
    return out;
  };
  OpNodeData* docs = Find(m_trees.path, {"<root>", "Docs"});
  ASSERT_NE(docs, nullptr);
  EXPECT_EQ(QVUIController::GetFileNodeToArray(&rows, docs), 1);
  EXPECT_EQ(names(), (std::vector<std::string>{"holiday.jpg", "minutes.txt"}));
  // A folder with only a sub-folder lists no rows.
  OpNodeData* empty = Find(m_trees.path, {"<root>", "Pics"});
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(QVUIController::GetFileNodeToArray(&rows, empty), 0);
  EXPECT_TRUE(rows.empty());

  OpNodeData* documents = Find(m_trees.type, {"Documents"});
  EXPECT_EQ(QVUIController::GetFileNodeToArray(&rows, documents), 1);
  EXPECT_TRUE(rows.empty());
  EXPECT_EQ(QVUIController::GetNodeChildrenCnt(documents), 2u);
  EXPECT_EQ(QVUIController::GetFileNodeToArray(&rows, Find(m_trees.type, {"Documents", "txt"})), 0);
  EXPECT_EQ(names(), (std::vector<std::string>{"minutes.txt", "notes.TXT"}));
  EXPECT_EQ(QVUIController::GetFileNodeToArray(&rows, Find(m_trees.type, {"Other"})), 0);
  EXPECT_EQ(names(), (std::vector<std::string>{"README", "data.xyz"}));

  OpNodeData* root = m_trees.modified.front().get();
  EXPECT_EQ(QVUIController::GetNodeChildrenCnt(root), 5u);
  OpNodeData* year = Find(m_trees.modified, {"Modification date", "2024"});
  EXPECT_EQ(QVUIController::GetFileNodeToArray(&rows, year), 0);
  EXPECT_TRUE(rows.empty());
  EXPECT_EQ(QVUIController::GetNodeChildrenCnt(year), 2u);
  EXPECT_EQ(QVUIController::GetFileNodeToArray(&rows, Find(m_trees.modified, {"Modification date", "2024", "03"})), 0);
  EXPECT_EQ(names(), (std::vector<std::string>{"holiday.jpg", "notes.TXT"}));
}

TEST_F(ResultTreesThreads, ChecksThroughItemsReachTheNodesAndTheGroups) {
  Scan(kNodes);
  OpNodeData* txt = Find(m_trees.type, {"Documents", "txt"});
  ASSERT_NE(txt, nullptr);
  txt->setNodeState(kChecked);
  EXPECT_EQ(Find(m_trees.type, {"Documents"})->state(), kChecked);
  std::uint64_t size = 0;
  std::vector<IFileNode*> selected = QVUIController::GetSelectedFilesAndSize(size);
  EXPECT_EQ(selected.size(), 2u);
  EXPECT_EQ(size, 150u);

  // A tick in the category tree reaches the month groups on their refresh.
  QVUIController::QVTableViewCellCilck();
  QVUIController::SetViewType(2);
  QVUIController::RefreshTimeTreeState(&m_trees.created, 1);
  EXPECT_EQ(Find(m_trees.created, {"Creation date", "2024", "03"})->state(), kChecked);
  EXPECT_EQ(Find(m_trees.created, {"Creation date", "2023"})->state(), kUnchecked);
  EXPECT_EQ(m_trees.created.front()->state(), kPartlyChecked);

  // One row of a month whose other rows are unchecked: partly checked above.
  QVUIController::SetViewType(3);
  QVUIController::RefreshTimeTreeState(&m_trees.modified, 0);
  EXPECT_EQ(Find(m_trees.modified, {"Modification date", "2023", "06"})->state(), kPartlyChecked);
  EXPECT_EQ(Find(m_trees.modified, {"Modification date", "2023"})->state(), kPartlyChecked);
  EXPECT_EQ(m_trees.modified.front()->state(), kPartlyChecked);

  // Unticking a path folder unchecks its files; the category tree follows
  // on its refresh.
  OpNodeData* docs = Find(m_trees.path, {"<root>", "Docs"});
  docs->setNodeState(kUnchecked);
  QVUIController::QVTableViewCellCilck();
  QVUIController::RefreshTypeTreeState(nullptr);
  EXPECT_EQ(Find(m_trees.type, {"Documents"})->state(), kUnchecked);
  size = 0;
  EXPECT_TRUE(QVUIController::GetSelectedFilesAndSize(size).empty());

  // Clearing unchecks every tree.
  Find(m_trees.type, {"Music"})->setNodeState(kChecked);
  EXPECT_EQ(QVUIController::QVCleanOpNodeSate(), 1);
  size = 0;
  EXPECT_TRUE(QVUIController::GetSelectedFilesAndSize(size).empty());
  EXPECT_EQ(Find(m_trees.type, {"Music"})->state(), kUnchecked);
}

TEST_F(ResultTreesThreads, ASecondScanStartsFromEmptyTrees) {
  Scan(kNodes);
  Scan({{20, 0, "only.txt", 5, false, false, Mid(2020, 5), Mid(2020, 5)}});
  EXPECT_EQ(treetest::Dump(m_trees.path), "<root>\n");
  EXPECT_EQ(treetest::Dump(m_trees.created), "Creation date\n  2020\n    05\n      - only.txt\n");
  EXPECT_EQ(QVUIController::GetNodeChildrenCnt(Find(m_trees.type, {"Documents"})), 1u);
}

TEST_F(ResultTreesThreads, ReadersHoldingTheTreeLockSeeWholeUpdates) {
  std::vector<NodeSpec> nodes;
  for (int i = 0; i < 300; ++i) {
    nodes.push_back({1000 + i, 0, "d" + std::to_string(i), 0, true, false, 0, 0});
    nodes.push_back({5000 + i, 1000 + i, "f" + std::to_string(i) + ".txt", 1, false, false, Mid(2020, 1 + i % 12),
                     Mid(2021, 1 + i % 12)});
  }
  Script().nodes = nodes;
  m_device = std::make_unique<testsupport::MemoryDevice>(std::vector<std::uint8_t>(8 * kMiB), 512, kDeviceVolume);
  ASSERT_TRUE(QVUIController::DoScanWithDevice(m_device.get(), 1));
  // The main thread reads while the worker fills.
  std::size_t seen = 0;
  while (bridge::JobRegistry::instance().Alive() > 0) {
    seen = std::max(seen, treetest::Dump(m_trees.modified).size());
    bridge::DefaultQueue().RunPending();
  }
  ASSERT_TRUE(WaitForJobs());
  EXPECT_EQ(QVUIController::GetNodeChildrenCnt(m_trees.created.front().get()), 300u);
  EXPECT_EQ(QVUIController::GetNodeChildrenCnt(m_trees.modified.front().get()), 300u);
  QVUIController::GetScanTreeNodeData(&m_trees.path, 0);
  ASSERT_EQ(m_trees.path.size(), 1u);
  EXPECT_EQ(m_trees.path.front()->children()->size(), 300u);
}

}  // namespace
