// The APFS file node and the node-assembly rules.

#include <gtest/gtest.h>

#include "apfs/APFSContainerReader.h"
#include "apfs/APFSFileNode.h"
#include "apfs/ApfsImageBuilder.h"
#include "apfs/ApfsScanSupport.h"
#include "support/MemoryDevice.h"

namespace apfstest {
namespace {

TEST(ApfsNode, ParentIdsTimesAndKind) {
  APFSFileNode node;
  node.SetBelongedPartition(5);
  node.SetParentNodeID((5LL << 32) | 1);
  EXPECT_EQ(node.GetParentNodeID(), (5LL << 32) + 2);
  node.SetParentNodeID(2);
  EXPECT_EQ(node.GetParentNodeID(), 2);
  node.m_flags |= APFSFileNode::kHandedOver;
  node.SetParentNodeID(77);
  EXPECT_EQ(node.GetParentNodeID(), 2);

  node.m_created = 1500000000123456789LL;
  EXPECT_EQ(node.GetCreationTime(), 1500000000LL * 10000000LL + 116444736000000000LL);
  EXPECT_EQ(node.GetModificationTime(), 116444736000000000LL);
  EXPECT_EQ(node.GetSearcheType(), kSearcherNone);
  EXPECT_EQ(node.GetApfsSearcheType(), kSearcherApfs);
  EXPECT_EQ(node.GetAttribute(), 32u);

  APFSFileNode kind;
  kind.SetKind(false);
  kind.SetKind(true);
  EXPECT_EQ(kind.IsDirectory(), 0);
  APFSFileNode trash;
  const char raw[] = ".Trashes";
  APFSContainerReader::SetName(&trash, raw, sizeof raw);
  trash.SetKind(false);
  EXPECT_EQ(trash.IsDirectory(), 1);
  EXPECT_EQ(trash.IsDeleted(), 1);
  EXPECT_STREQ(trash.GetFileName(), "Trashes");

  kind.SetDataRunList(new CDataRunList());
  kind.m_name = std::string("x", 2);
  std::unique_ptr<IFileNode> copy(kind.Clone());
  auto* c = dynamic_cast<APFSFileNode*>(copy.get());
  ASSERT_NE(c, nullptr);
  EXPECT_STREQ(c->GetFileName(), "x");
  EXPECT_NE(c->GetDataRunList(), kind.GetDataRunList());
  EXPECT_FALSE(c->HandedOver());
}

TEST(ApfsNode, NameRules) {
  struct Row {
    std::string raw;
    std::string decoded;
  };
  const Row rows[] = {
      {std::string(".DS_Store", 10), ""},
      {std::string(".ds_store", 10), ""},
      {std::string(".hidden", 8), std::string("hidden", 7)},
      {std::string("..x", 4), std::string(".x", 3)},
      {std::string("plain", 6), std::string("plain", 6)},
      {std::string(".", 2), std::string("", 1)},
  };
  for (const Row& r : rows) EXPECT_EQ(APFSContainerReader::DecodeName(r.raw.data(), r.raw.size()), r.decoded) << r.raw;
  APFSFileNode node;
  const std::string twoDots("..x", 4);
  APFSContainerReader::SetName(&node, twoDots.data(), twoDots.size());
  EXPECT_STREQ(node.GetFileName(), ".x");
}

// A small container walked through a scan, with records that exercise matching.
std::map<std::string, IFileNode*> ScanRecords(const std::vector<Record>& records, CollectingBuilder& builder,
                                              std::unique_ptr<APFSDeepScan>& scan,
                                              std::unique_ptr<testsupport::MemoryDevice>& device) {
  Container c;
  c.records = records;
  device = std::make_unique<testsupport::MemoryDevice>(BuildContainer(c));
  scan = Sweep(device.get(), builder);
  return builder.ByPath();
}

TEST(ApfsNode, AssemblyRules) {
  CollectingBuilder builder;
  std::unique_ptr<APFSDeepScan> scan;
  std::unique_ptr<testsupport::MemoryDevice> device;
  const auto paths = ScanRecords(
      {
          Inode(2, 1, kTime2020, 0x41ED, "root", 0),
          // A record's name is decoded twice: two leading dots go.
          Inode(67, 2, kTime2020, 0x81A4, "..dots", 3),
          // Extents before their inode: the inode adopts the placeholder.
          Extent(60, 0, 4096, 20),
          Inode(60, 2, kTime2020, 0x81A4, "late.txt", 100),
          // Same private id and parent, name containing the first: one node.
          Inode(61, 2, kTime2020, 0x81A4, "report", 10),
          Inode(61, 2, kTime2020, 0x81A4, "report copy", 10),
          // Times outside the window and no inode: never handed over.
          Inode(62, 2, 100, 0x81A4, "ancient", 10),
          DirEntry(2, "dironly", 63, kTime2020, false),
          // Two folders of one name under one parent are merged.
          Inode(64, 2, kTime2020, 0x41ED, "same", 0),
          Inode(65, 2, kTime2020, 0x41ED, "same", 0),
          Inode(66, 65, kTime2020, 0x81A4, "inside", 1),
      },
      builder, scan, device);
  ASSERT_TRUE(paths.count("late.txt"));
  EXPECT_EQ(paths.at("late.txt")->GetFileSize(), 100);
  EXPECT_TRUE(paths.count("dots"));
  EXPECT_TRUE(paths.count("report"));
  EXPECT_FALSE(paths.count("report copy"));
  EXPECT_FALSE(paths.count("ancient"));
  EXPECT_FALSE(paths.count("dironly"));
  int same = 0;
  for (IFileNode* n : builder.nodes) same += std::string(n->GetFileName()) == "same";
  EXPECT_EQ(same, 1);
  EXPECT_TRUE(paths.count("same/inside"));
  // Nothing is left that could still be handed over.
  for (APFSContainerReader* r : scan->Readers()) {
    for (APFSFileNode* n : r->Nodes()) {
      if (!n->HandedOver()) {
        EXPECT_TRUE(n->m_name.empty() || n->m_created == 0 || n->m_mergeTarget) << n->GetFileName();
      }
    }
  }
}

}  // namespace
}  // namespace apfstest
