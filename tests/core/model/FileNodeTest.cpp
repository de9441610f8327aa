#include <gtest/gtest.h>

#include <memory>

#include "core/model/FileNode.h"
#include "core/model/TestNodes.h"

TEST(FileNode, NewNodeHasTheInitialStateWord) {
  TestNode n(1, 2, "a");
  EXPECT_EQ(n.StateWord(), 0xFFFFFFFFFFFFFF10ull);
  EXPECT_EQ(n.GetCheckedStatus(), 0);
  EXPECT_EQ(n.IsNodeShow(), 1);
  EXPECT_EQ(n.GetBelongedPartition(), 0xFFFFu);
  EXPECT_EQ(n.GetMetadataStartPosition(), -1);
  EXPECT_EQ(n.GetSearcheType(), kSearcherFat);
}

TEST(FileNode, MetadataSectorKeepsTheLowBits) {
  TestNode n(1, 2, "a");
  n.SetBelongedPartition(7);
  n.SetMetaDataSector(5);
  EXPECT_EQ(n.GetMetadataStartPosition(), 5);
  EXPECT_EQ(n.GetBelongedPartition(), 7u);
  EXPECT_EQ(n.IsNodeShow(), 1);
  EXPECT_EQ(n.GetCheckedStatus(), 0);
  n.SetMetaDataSector(-12345);
  EXPECT_EQ(n.GetMetadataStartPosition(), -12345);
  n.SetMetaDataSector((1LL << 39) - 1);
  EXPECT_EQ(n.GetMetadataStartPosition(), (1LL << 39) - 1);
}

TEST(FileNode, AddChildRefusesAncestorsSelfAndForeignNodes) {
  TestNode root(1, -1, "root", true), mid(2, 1, "mid", true), leaf(3, 2, "leaf", true);
  ASSERT_EQ(root.AddChild(&mid), 1);
  ASSERT_EQ(mid.AddChild(&leaf), 1);
  EXPECT_EQ(leaf.AddChild(&root), 0);
  EXPECT_EQ(leaf.AddChild(&mid), 0);
  EXPECT_EQ(leaf.AddChild(&leaf), 0);
  EXPECT_EQ(leaf.AddChild(nullptr), 0);
  EXPECT_EQ(leaf.GetFirstChild(), nullptr);
  EXPECT_EQ(root.ShownChildCount(), 1);
  EXPECT_EQ(mid.GetParent(), &root);
  mid.RemoveChild(&leaf);
  root.RemoveChild(&mid);
}

TEST(FileNode, AddChildPutsTheChildFirst) {
  TestNode dir(1, -1, "d", true), a(2, 1, "a"), b(3, 1, "b");
  dir.AddChild(&a);
  dir.AddChild(&b);
  EXPECT_EQ(dir.GetFirstChild(), &b);
  EXPECT_EQ(b.GetNextNode(), &a);
  EXPECT_EQ(dir.RemoveChild(&a), 1);
  EXPECT_EQ(dir.RemoveChild(&a), 0);
  EXPECT_EQ(dir.GetFirstChild(), &b);
  EXPECT_EQ(dir.ShownChildCount(), 1);
  EXPECT_EQ(dir.RemoveChild(&b), 1);
  EXPECT_EQ(dir.GetFirstChild(), nullptr);
  EXPECT_EQ(dir.ShownChildCount(), 0);
  EXPECT_EQ(b.GetNextNode(), nullptr);
}

TEST(FileNode, AddNextLinksTheOldSiblingBehindTheNewOne) {
  TestNode a(1, 0, "a"), b(2, 0, "b"), c(3, 0, "c");
  a.AddNext(&c);
  a.AddNext(&b);
  EXPECT_EQ(a.GetNextNode(), &b);
  EXPECT_EQ(b.GetNextNode(), &c);
}

TEST(FileNode, CheckStatePropagatesToEveryAncestor) {
  TestNode top(1, -1, "top", true), dir(2, 1, "dir", true), a(3, 2, "a"), b(4, 2, "b");
  top.AddChild(&dir);
  dir.AddChild(&a);
  dir.AddChild(&b);

  a.SetCheck(kChecked);
  EXPECT_EQ(dir.GetCheckedStatus(), 1);
  EXPECT_EQ(dir.CheckedSum(), 2);
  EXPECT_EQ(top.GetCheckedStatus(), 1);

  b.SetCheck(kChecked);
  EXPECT_EQ(dir.GetCheckedStatus(), 2);
  EXPECT_EQ(top.GetCheckedStatus(), 2);

  a.SetCheck(kUnchecked);
  b.SetCheck(kUnchecked);
  EXPECT_EQ(dir.GetCheckedStatus(), 0);
  EXPECT_EQ(top.GetCheckedStatus(), 0);
}

TEST(FileNode, CheckingAFolderChecksItsShownSubtreeOnly) {
  TestNode dir(1, -1, "dir", true), sub(2, 1, "sub", true), a(3, 2, "a"), hidden(4, 1, "h");
  dir.AddChild(&sub);
  dir.AddChild(&hidden);
  sub.AddChild(&a);
  hidden.ShowNode(0);
  dir.SetCheck(kChecked);
  EXPECT_EQ(sub.GetCheckedStatus(), 2);
  EXPECT_EQ(a.GetCheckedStatus(), 2);
  EXPECT_EQ(hidden.GetCheckedStatus(), 0);
  hidden.SetCheck(kChecked);  // hidden: nothing happens
  EXPECT_EQ(hidden.GetCheckedStatus(), 0);
}

TEST(FileNodeDeathTest, PartlyCheckedIsAProgrammingError) {
  TestNode n(1, -1, "n");
  EXPECT_DEATH(n.SetCheck(kPartlyChecked), "eStatus != 1");
}

TEST(FileNode, HidingTheOnlyShownChildHidesTheFolder) {
  TestNode top(1, -1, "top", true), dir(2, 1, "dir", true), other(5, 1, "o"), a(3, 2, "a");
  top.AddChild(&dir);
  top.AddChild(&other);
  dir.AddChild(&a);
  ASSERT_EQ(top.ShownChildCount(), 2);
  a.ShowNode(0);
  EXPECT_EQ(dir.IsNodeShow(), 0);
  EXPECT_EQ(top.ShownChildCount(), 1);
  EXPECT_EQ(top.IsNodeShow(), 1);
  a.ShowNode(1);
  EXPECT_EQ(dir.IsNodeShow(), 1);
  EXPECT_EQ(top.ShownChildCount(), 2);
}

TEST(FileNode, EqualityRules) {
  TestNode fat1(10, 2, "a.txt"), fat2(10, 2, "a.txt");
  fat1.SetBelongedPartition(0);
  fat2.SetBelongedPartition(1);
  EXPECT_FALSE(fat1 == fat2);
  fat2.SetBelongedPartition(0);
  EXPECT_TRUE(fat1 == fat2);

  TestNode h1(10, 2, "b", false, kSearcherHfsPlus), h2(10, 2, "b", false, kSearcherHfsPlus);
  h1.SetBelongedPartition(0);
  h2.SetBelongedPartition(3);
  h1.m_ctime = h2.m_ctime = 77;
  h1.m_size = h2.m_size = 1000;
  EXPECT_TRUE(h1 == h2);

  TestNode d1(5, 2, "dir", true), d2(5, 2, "dir", true);
  d2.SetBelongedPartition(9);
  EXPECT_TRUE(d1 == d2);
  TestNode d3(5, 2, "other", true);
  EXPECT_FALSE(d1 == d3);
  EXPECT_STREQ(d1.GetFileName(), "dir");  // comparison never renames
  TestNode d4(5, 3, "dir", true);
  EXPECT_FALSE(d1 == d4);
}

TEST(FileNode, MergeTakesTheOtherNodesRunsAndSize) {
  TestNode keep(1, 0, "a"), dup(1, 0, "a");
  auto* runs = new CDataRunList();
  DataRun r{100, 4};
  runs->AddDataRun(&r);
  dup.SetDataRunList(runs);
  dup.m_size = 4096;
  keep.MergeNode(&dup);
  EXPECT_EQ(keep.GetDataRunList(), runs);
  EXPECT_EQ(dup.GetDataRunList(), nullptr);
  EXPECT_EQ(keep.m_size, 4096);
}

TEST(FileNode, FilterFileNameByDotDropsLeadingBlanksAndDots) {
  EXPECT_EQ(CFileNode::FilterFileNameByDot(". .hidden"), "hidden");
  EXPECT_EQ(CFileNode::FilterFileNameByDot("..."), "");
  EXPECT_EQ(CFileNode::FilterFileNameByDot(""), "");
  EXPECT_EQ(CFileNode::FilterFileNameByDot("a.b"), "a.b");
}

TEST(FilesystemNode, SyntheticFolderAndItsClone) {
  CFilesystemNode root("Disk(FAT/FAT32)", "vol", kSearcherFat, 42);
  EXPECT_STREQ(root.GetFileName(), "Disk(FAT/FAT32)");
  EXPECT_EQ(root.IsDirectory(), 1);
  EXPECT_EQ(root.GetCreationTime(), 0);
  EXPECT_STREQ(root.GetVolumeName(), "vol");
  std::unique_ptr<IFileNode, void (*)(IFileNode*)> clone(root.Clone(), [](IFileNode* n) { n->Release(); });
  EXPECT_EQ(clone->GetCurrentNodeID(), 42);
  EXPECT_EQ(clone->GetParentNodeID(), -1);
  EXPECT_EQ(clone->GetSearcheType(), kSearcherFat);
  EXPECT_STREQ(clone->GetVolumeName(), "vol");
}

TEST(FileTime, EpochConversions) {
  EXPECT_EQ(SecondsSince1970ToFileTime(0), 116444736000000000LL);
  EXPECT_EQ(HfsSecondsToFileTime(0), 0);
  EXPECT_EQ(HfsSecondsToFileTime(2082844800u), 116444736000000000LL);  // 1970-01-01 in HFS+ seconds
}
