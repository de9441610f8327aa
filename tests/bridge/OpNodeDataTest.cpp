// Items of the result trees: readers, icon kinds and check states carried
// through groups down to the file nodes.

#include <gtest/gtest.h>

#include "bridge/OpNodeData.h"
#include "bridge/QVPublic.h"
#include "bridge/ResultTreesTestSupport.h"

using treetest::Forest;

namespace {

OpNodePtr Group(int type, const std::string& name, OpNodeData* parent) {
  __TreeNodeData__ record;
  record.isDirectory = 1;
  OpNodePtr g = OpNodeData::initWithNodeData(record);
  g->setType(type);
  g->setFadeName(name);
  g->setExpandAble(1);
  if (parent != nullptr) {
    g->setParent(parent);
    parent->addChildObject(g);
  }
  return g;
}

// Category "Pictures" with extension groups jpg (two rows) and png (one).
struct CategoryTree {
  Forest forest;
  bridgetest::TestNode* root = forest.Add(nullptr, "vol", true);
  IFileNode* a = forest.Add(root, "a.jpg", false);
  IFileNode* b = forest.Add(root, "b.jpg", false);
  IFileNode* c = forest.Add(root, "c.png", false);
  OpNodePtr category = Group(kOpNodeCategory, "Pictures", nullptr);
  OpNodePtr jpg = Group(kOpNodeCategory, "jpg", category.get());
  OpNodePtr png = Group(kOpNodeCategory, "png", category.get());
  CategoryTree() {
    jpg->addChildObject(a);
    jpg->addChildObject(b);
    png->addChildObject(c);
  }
};

// A date root with year 2020 holding months 03 (two rows) and 07 (one row),
// and year 2021 holding month 01 (one row).
struct DateTree {
  Forest forest;
  bridgetest::TestNode* root = forest.Add(nullptr, "vol", true);
  IFileNode* r1 = forest.Add(root, "r1", false);
  IFileNode* r2 = forest.Add(root, "r2", false);
  IFileNode* r3 = forest.Add(root, "r3", false);
  IFileNode* r4 = forest.Add(root, "r4", false);
  OpNodePtr top = Group(kOpNodeCreateDate, "Creation date", nullptr);
  OpNodePtr y2020 = Group(kOpNodeCreateDate, "2020", top.get());
  OpNodePtr m03 = Group(kOpNodeCreateDate, "03", y2020.get());
  OpNodePtr m07 = Group(kOpNodeCreateDate, "07", y2020.get());
  OpNodePtr y2021 = Group(kOpNodeCreateDate, "2021", top.get());
  OpNodePtr m01 = Group(kOpNodeCreateDate, "01", y2021.get());
  DateTree() {
    m03->addChildObject(r1);
    m03->addChildObject(r2);
    m07->addChildObject(r3);
    m01->addChildObject(r4);
  }
};

TEST(OpNodeData, TickingACategoryChecksItsExtensionGroupsAndRows) {
  CategoryTree t;
  t.category->setNodeState(kChecked);
  EXPECT_EQ(t.category->state(), kChecked);
  EXPECT_EQ(t.jpg->state(), kChecked);
  EXPECT_EQ(t.png->state(), kChecked);
  for (IFileNode* n : {t.a, t.b, t.c}) EXPECT_EQ(n->GetCheckedStatus(), kChecked) << n->GetFileName();

  t.category->setNodeState(kUnchecked);
  for (IFileNode* n : {t.a, t.b, t.c}) EXPECT_EQ(n->GetCheckedStatus(), kUnchecked) << n->GetFileName();
}

TEST(OpNodeData, AnExtensionGroupRecomputesItsCategory) {
  struct Case {
    int jpg;
    int png;
    int category;
  };
  for (const Case& c : {Case{2, 0, 1}, Case{2, 2, 2}, Case{0, 0, 0}, Case{0, 2, 1}}) {
    CategoryTree t;
    t.jpg->setNodeState(c.jpg);
    t.png->setNodeState(c.png);
    EXPECT_EQ(t.category->state(), c.category) << c.jpg << "/" << c.png;
    EXPECT_EQ(t.a->GetCheckedStatus(), c.jpg);
    EXPECT_EQ(t.c->GetCheckedStatus(), c.png);
  }
}

TEST(OpNodeData, PartlyCheckingAMonthMarksOnlyTheGroupsAbove) {
  DateTree t;
  t.m03->setNodeState(kPartlyChecked);
  EXPECT_EQ(t.m03->state(), kPartlyChecked);
  EXPECT_EQ(t.y2020->state(), kPartlyChecked);
  EXPECT_EQ(t.top->state(), kPartlyChecked);
  EXPECT_EQ(t.r1->GetCheckedStatus(), kUnchecked);
  EXPECT_EQ(t.r2->GetCheckedStatus(), kUnchecked);
}

TEST(OpNodeData, MonthStatesRollUpToTheYearAndTheRoot) {
  DateTree t;
  t.m03->setNodeState(kChecked);
  EXPECT_EQ(t.r1->GetCheckedStatus(), kChecked);
  EXPECT_EQ(t.y2020->state(), kPartlyChecked);
  EXPECT_EQ(t.top->state(), kPartlyChecked);
  t.m07->setNodeState(kChecked);
  EXPECT_EQ(t.y2020->state(), kChecked);
  EXPECT_EQ(t.top->state(), kPartlyChecked);
  t.m01->setNodeState(kChecked);
  EXPECT_EQ(t.top->state(), kChecked);
  t.m03->setNodeState(kUnchecked);
  t.m07->setNodeState(kUnchecked);
  EXPECT_EQ(t.y2020->state(), kUnchecked);
  EXPECT_EQ(t.top->state(), kPartlyChecked);
  t.m01->setNodeState(kUnchecked);
  EXPECT_EQ(t.top->state(), kUnchecked);
}

TEST(OpNodeData, IconKinds) {
  CategoryTree c;
  DateTree d;
  Forest f;
  auto* root = f.Add(nullptr, "vol", true);
  auto* folder = f.Add(root, "Docs", true);
  __TreeNodeData__ rootRecord;
  rootRecord.isFileSystem = 1;
  rootRecord.node = root;
  OpNodePtr rootItem = OpNodeData::initWithNodeData(rootRecord);
  OpNodePtr folderItem = OpNodeData::initWithFileNode(folder);
  OpNodePtr other = Group(7, "x", nullptr);
  struct Case {
    const OpNodeData* item;
    int kind;
  };
  const Case cases[] = {
      {rootItem.get(), 0}, {folderItem.get(), 1}, {c.category.get(), 3}, {c.jpg.get(), 8},
      {d.top.get(), 9},    {d.y2020.get(), 10},   {d.m03.get(), 10},     {other.get(), 11},
  };
  for (const Case& k : cases) EXPECT_EQ(k.item->nodeType(), k.kind) << k.item->name();
  for (unsigned cat : {1u, 2u, 4u, 8u, 16u, 32u, 64u}) {
    OpNodePtr g = Group(kOpNodeCategory, QVCPPPublic::instance()->FilterTypeToString(cat), nullptr);
    const int expected = cat == 1 ? 2 : cat == 2 ? 3 : cat == 4 ? 4 : cat == 8 ? 5 : cat == 16 ? 6 : cat == 32 ? 7 : 8;
    EXPECT_EQ(g->nodeType(), expected) << cat;
  }
}

TEST(OpNodeData, FileItemReadersAnswerFromTheNode) {
  Forest f;
  auto* root = f.Add(nullptr, "vol", true);
  auto* file = f.Add(root, "a.txt", false, 1234, 0, 0);
  auto* folder = f.Add(root, "Sub", true, 99);
  OpNodePtr item = OpNodeData::initWithFileNode(file);
  EXPECT_FALSE(item->isFadeNode());
  EXPECT_EQ(item->name(), "a.txt");
  EXPECT_EQ(item->size(), 1234u);
  EXPECT_EQ(item->createTime(), "");
  EXPECT_EQ(item->modifyTime(), QVUIPublic::FormatFileTimeToString(0));
  EXPECT_EQ(OpNodeData::initWithFileNode(folder)->size(), 0u);
  EXPECT_TRUE(OpNodeData::initWithFileNode(root)->isHasFolderChildren());
  EXPECT_FALSE(item->isHasFolderChildren());

  auto* bad = f.Add(root, std::string("bad\xff\xfe"), false);
  EXPECT_EQ(OpNodeData::initWithFileNode(bad)->name(), "Unknown");
  OpNodePtr unnamed = Group(kOpNodeCategory, "", nullptr);
  __TreeNodeData__ record;
  OpNodePtr group = OpNodeData::initWithNodeData(record);
  group->setType(kOpNodeCategory);
  EXPECT_EQ(group->name(), "Unknown");
  EXPECT_EQ(group->path(), "");
  EXPECT_TRUE(group->IsShow());
}

TEST(OpNodeData, FileRowStatesOutsideTheRangeChangeNothing) {
  Forest f;
  auto* root = f.Add(nullptr, "vol", true);
  auto* file = f.Add(root, "a.txt", false);
  for (int bad : {3, -1, 1}) {
    OpNodeData::setFileNode(file, bad);
    EXPECT_EQ(OpNodeData::fileNodeState(file), kUnchecked) << bad;
  }
  OpNodeData::setFileNode(file, kChecked);
  EXPECT_EQ(OpNodeData::fileNodeState(file), kChecked);
  EXPECT_EQ(OpNodeData::fileNodeState(nullptr), 0);
  OpNodeData::setFileNode(nullptr, kChecked);
  EXPECT_EQ(OpNodeData::fileNodeName(nullptr), "");
  EXPECT_EQ(OpNodeData::fileNodeName(file), "a.txt");
  EXPECT_FALSE(OpNodeData::isFileNodeDirect(nullptr));
  EXPECT_TRUE(OpNodeData::isFileNodeDirect(root));
}

}  // namespace
