// The category and date managers and the path step, fed directly through
// the scan's node sinks (no worker thread).

#include <gtest/gtest.h>

#include <sstream>

#include "bridge/MainThreadDispatcher.h"
#include "bridge/QVPublic.h"
#include "bridge/QVTimeMgr.h"
#include "bridge/QVTypeMgr.h"
#include "bridge/ResultTreesTestSupport.h"
#include "core/filetype/DefaultFileTypes.h"

using namespace bridgetest;
using treetest::Forest;

namespace {

long long Mid(int year, int month) { return FileTimeUtc(year, month, 15, 12, 0, 0); }

std::map<int, std::vector<std::string>> DefaultLists() {
  std::map<int, std::vector<std::string>> lists;
  for (const auto& [key, text] : DefaultFileTypeLists()) {
    std::stringstream in(text);
    std::string ext;
    while (std::getline(in, ext, ';')) lists[key].push_back(ext);
  }
  return lists;
}

class TypeTimeMgr : public ::testing::Test {
 protected:
  void SetUp() override {
    bridge::DefaultQueue().BindToCurrentThread();
    QVUIController::SetRecoveryType(127);
    QVUIController::SetViewType(0);
    QVUIScan::instance()->ClearData();
    bridge::ResetTreesForNewScan();
    m_trees.Register();
    m_root = m_forest.Add(nullptr, "vol", true);
    QVUIScan::instance()->ShowFilesystemNode(m_root);
  }
  void TearDown() override {
    QVTypeMgr::share()->setTypeLists(DefaultLists());
    QVUIController::QVResetTreeNodeData();
    QVUIScan::instance()->ClearData();
    QVSetTreeRebuildHook(nullptr);
    bridge::DefaultQueue().RunPending();
  }

  void Report(std::vector<IFileNode*> nodes, int final = 0) {
    if (!nodes.empty()) QVUIScan::instance()->ShowNodes(nodes.data(), static_cast<unsigned>(nodes.size()), 0);
    if (final != 0)
      QVNotifyUIUpdateData(1);
    else if (nodes.empty())
      QVNotifyUIUpdateData(0);
    bridge::DefaultQueue().RunPending();
  }

  Forest m_forest;
  treetest::Trees m_trees;
  TestNode* m_root = nullptr;
};

TEST_F(TypeTimeMgr, FilesAreListedByTheirLowerCaseExtension) {
  Report({m_forest.Add(m_root, "photo.JPG", false), m_forest.Add(m_root, "README", false),
          m_forest.Add(m_root, "thing.qqq", false)});
  EXPECT_EQ(treetest::Dump(m_trees.type),
            "Documents\nPictures\n  jpg\n    - photo.JPG\nMovies\nMusic\nArchives\nE-mail\nOther\n"
            "  - README\n  - thing.qqq\n");
  std::string text;
  EXPECT_FALSE(QVTypeMgr::share()->getTypeString(64, text));
  ASSERT_TRUE(QVTypeMgr::share()->getTypeString(2, text));
  EXPECT_NE(text.find("jpg"), std::string::npos);
}

TEST_F(TypeTimeMgr, AnExtensionListedTwiceBelongsToTheLaterCategory) {
  QVTypeMgr::share()->setTypeLists({{1, {"txt"}}, {2, {"zzz"}}, {4, {"zzz"}}, {8, {}}, {16, {}}, {32, {}}});
  Report({m_forest.Add(m_root, "a.zzz", false)});
  EXPECT_EQ(QVTypeMgr::share()->categoryOfExt("zzz"), 4);
  EXPECT_EQ(treetest::Dump(m_trees.type),
            "Documents\nPictures\nMovies\n  zzz\n    - a.zzz\nMusic\nArchives\nE-mail\nOther\n");
}

TEST_F(TypeTimeMgr, RepeatedUpdatesListEveryFileOnce) {
  IFileNode* a = m_forest.Add(m_root, "a.txt", false, 1, Mid(2020, 1), Mid(2020, 1));
  Report({a});
  Report({});
  {
    autolocker<mutex_locker> hold(QVTreeLocker());
    QVUIController::QVGetTreeNodeData(0, "");
  }
  Report({m_forest.Add(m_root, "b.txt", false, 1, Mid(2020, 1), Mid(2020, 1))});
  EXPECT_EQ(QVUIController::GetNodeChildrenCnt(m_trees.type.front().get()), 2u);
  EXPECT_EQ(QVUIController::GetNodeChildrenCnt(m_trees.created.front().get()), 2u);
  EXPECT_EQ(QVUIController::GetNodeChildrenCnt(m_trees.modified.front().get()), 2u);
  EXPECT_EQ(m_trees.path.size(), 1u);
}

TEST_F(TypeTimeMgr, DateGroupsGoToTheirSortedPlace) {
  Report({m_forest.Add(m_root, "a.txt", false, 1, Mid(2019, 3), 0)});
  Report({m_forest.Add(m_root, "b.txt", false, 1, Mid(2021, 11), 0)});
  Report({m_forest.Add(m_root, "c.txt", false, 1, Mid(2020, 11), 0)});
  Report({m_forest.Add(m_root, "d.txt", false, 1, Mid(2020, 3), 0)});
  Report({m_forest.Add(m_root, "e.txt", false, 1, Mid(2020, 7), 0)});
  std::vector<std::string> order;
  for (const OpNodeChild& y : *m_trees.created.front()->children()) {
    order.push_back(OpNodeItemOf(y)->name());
    for (const OpNodeChild& m : *OpNodeItemOf(y)->children()) order.push_back(" " + OpNodeItemOf(m)->name());
  }
  EXPECT_EQ(order, (std::vector<std::string>{"2019", " 03", "2020", " 03", " 07", " 11", "2021", " 11"}));
  // No modification times: that tree has its root only.
  EXPECT_EQ(treetest::Dump(m_trees.modified), "Modification date\n");
}

TEST_F(TypeTimeMgr, FoldersReportedChildFirstWaitForTheirParent) {
  TestNode* top = m_forest.Add(m_root, "top", true);
  TestNode* mid = m_forest.Add(top, "mid", true);
  TestNode* low = m_forest.Add(mid, "low", true);
  Report({low});
  EXPECT_EQ(treetest::Dump(m_trees.path), "<root>\n");
  Report({mid});
  Report({top});
  // The second pass of this update places mid; low waits for a later one.
  EXPECT_EQ(treetest::Dump(m_trees.path), "<root>\n  top\n    mid\n");
  Report({});
  EXPECT_EQ(treetest::Dump(m_trees.path), "<root>\n  top\n    mid\n      low\n");
  // Reported again: still one item each.
  Report({top, mid, low}, 1);
  EXPECT_EQ(treetest::Dump(m_trees.path), "<root>\n  top\n    mid\n      low\n");
}

TEST_F(TypeTimeMgr, ADeepChainInReverseOrderIsPlacedOnTheFinalUpdate) {
  std::vector<IFileNode*> chain;
  TestNode* parent = m_root;
  for (int i = 0; i < 40; ++i) {
    parent = m_forest.Add(parent, "d" + std::to_string(i), true);
    chain.push_back(parent);
  }
  std::vector<IFileNode*> reversed(chain.rbegin(), chain.rend());
  Report(reversed, 1);
  {
    autolocker<mutex_locker> hold(QVTreeLocker());
    EXPECT_EQ(bridge::WaitingFoldersLocked(), 0u);
  }
  const OpNodeData* item = m_trees.path.front().get();
  int depth = 0;
  while (item->children() && !item->children()->empty()) {
    item = OpNodeItemOf(item->children()->front());
    ++depth;
  }
  EXPECT_EQ(depth, 40);
  EXPECT_EQ(item->name(), "d39");
}

TEST_F(TypeTimeMgr, TimeOfAMonthFallsInThatMonth) {
  for (int year : {1980, 2000, 2024}) {
    for (int month = 1; month <= 12; ++month) {
      int y = 0;
      int m = 0;
      QVCPPPublic::instance()->GetYearMonthByTimeT(&y, &m, QVTimeMgr::TimeOfMonth(year, month));
      EXPECT_EQ(y, year);
      EXPECT_EQ(m, month);
    }
  }
}

}  // namespace
