// Decoders over hand-made bytes: node entries, records and their one-field
// corruptions.

#include <gtest/gtest.h>

#include "apfs/ApfsBTreeNode.h"
#include "apfs/ApfsFsRecords.h"
#include "apfs/ApfsImageBuilder.h"
#include "apfs/ApfsObject.h"

namespace apfstest {
namespace {

ByteView View(const Bytes& b) { return ByteView(b.data(), b.size()); }

TEST(ApfsDecoder, RecordsDecodeTheirFields) {
  const Bytes node = MakeFsNode(1028, 2, 3,
                                {Inode(20, 2, kTime2020, 0x81A4, "hello.txt", 1234),
                                 DirEntry(2, "hello.txt", 20, kTime2020, false), Extent(20, 0, 8192, 30)});
  EXPECT_TRUE(apfs::ChecksumOk(View(node)));
  const apfs::NodeHeader h = apfs::DecodeNodeHeader(View(node));
  ASSERT_EQ(h.keyCount, 3u);

  auto e0 = apfs::VariableEntry(View(node), h, 0);
  ASSERT_TRUE(e0);
  EXPECT_EQ(apfs::RecordKind(e0->key), 0x30);
  auto inode = apfs::DecodeInode(e0->value);
  ASSERT_TRUE(inode);
  EXPECT_EQ(inode->parentId, 2u);
  EXPECT_EQ(inode->privateId, 20u);
  EXPECT_EQ(inode->created, kTime2020);
  EXPECT_EQ(inode->rawName, std::string("hello.txt", 10));
  EXPECT_EQ(inode->dataSize, 1234u);
  EXPECT_FALSE(inode->IsDirectory());

  auto e1 = apfs::VariableEntry(View(node), h, 1);
  ASSERT_TRUE(e1);
  auto drec = apfs::DecodeDirectoryRecord(e1->key, e1->value);
  ASSERT_TRUE(drec);
  EXPECT_EQ(drec->parentOid, 2u);
  EXPECT_EQ(drec->fileId, 20u);
  EXPECT_EQ(drec->rawName, std::string("hello.txt", 10));

  auto e2 = apfs::VariableEntry(View(node), h, 2);
  ASSERT_TRUE(e2);
  auto ext = apfs::DecodeExtent(e2->key, e2->value);
  ASSERT_TRUE(ext);
  EXPECT_EQ(ext->ownerOid, 20u);
  EXPECT_EQ(ext->length, 8192u);
  EXPECT_EQ(ext->physical, 30u);
}

TEST(ApfsDecoder, ModeTypeDecidesDirectory) {
  for (const auto& [mode, dir] : std::vector<std::pair<std::uint16_t, bool>>{
           {0x41ED, true}, {0x81A4, false}, {0x61B0, false}, {0xC1ED, false}, {0xA1ED, false}}) {
    Record r = Inode(5, 2, kTime2020, mode, "x", 0);
    auto inode = apfs::DecodeInode(View(r.value));
    ASSERT_TRUE(inode);
    EXPECT_EQ(inode->IsDirectory(), dir) << std::hex << mode;
  }
}

// One field of the first entry's table of contents or of the node header.
struct NodeCorruption {
  const char* what;
  std::size_t offset;
  int width;
  std::uint64_t value;
};

TEST(ApfsDecoder, CorruptTableEntriesAreSkipped) {
  const Bytes good = MakeFsNode(1028, 2, 3, {Inode(20, 2, kTime2020, 0x81A4, "a", 1)});
  const NodeCorruption cases[] = {
      {"toc length past the value area", 42, 2, 4090},
      {"toc offset past the node", 40, 2, 4000},
      {"toc too short for the entry", 42, 2, 4},
      {"key offset past the area", 56, 2, 4000},
      {"key length past the area", 58, 2, 0xFFFF},
      {"key length zero", 58, 2, 0},
      {"value offset zero", 60, 2, 0},
      {"value offset past the node", 60, 2, 0xFFFF},
      {"value length past the area", 62, 2, 0x2000},
  };
  for (const NodeCorruption& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes b = good;
    if (c.width == 2) PutU16(b, c.offset, static_cast<std::uint16_t>(c.value));
    const apfs::NodeHeader h = apfs::DecodeNodeHeader(View(b));
    EXPECT_FALSE(apfs::VariableEntry(View(b), h, 0));
  }
  EXPECT_TRUE(apfs::VariableEntry(View(good), apfs::DecodeNodeHeader(View(good)), 0));
}

TEST(ApfsDecoder, ShortOrBrokenRecordsAreRefused) {
  Record inode = Inode(20, 2, kTime2020, 0x81A4, "name", 7);
  // Value below 100 bytes.
  EXPECT_FALSE(apfs::DecodeInode(View(Bytes(inode.value.begin(), inode.value.begin() + 99))));
  // Name field larger than the value.
  Bytes bigName = inode.value;
  PutU16(bigName, 98, 0x3FF);
  auto r = apfs::DecodeInode(View(bigName));
  EXPECT_FALSE(r);
  // Extended-field count with no room for the descriptors.
  Bytes manyFields = inode.value;
  PutU16(manyFields, 92, 0xFFFF);
  EXPECT_FALSE(apfs::DecodeInode(View(manyFields)));

  Record drec = DirEntry(2, "abc", 9, kTime2020, false);
  Bytes longName = drec.key;
  PutU32(longName, 8, 0x3FF);
  EXPECT_FALSE(apfs::DecodeDirectoryRecord(View(longName), View(drec.value)));
  EXPECT_FALSE(apfs::DecodeDirectoryRecord(View(drec.key), View(Bytes(17, 0))));

  Record ext = Extent(9, 0, 4096, 12);
  EXPECT_FALSE(apfs::DecodeExtent(View(Bytes(ext.key.begin(), ext.key.begin() + 15)), View(ext.value)));
  // The top byte of the length holds flags, not length.
  Bytes flagged = ext.value;
  PutU64(flagged, 0, 0x1000000000001000ull);
  EXPECT_EQ(apfs::DecodeExtent(View(ext.key), View(flagged))->length, 0x1000u);
}

TEST(ApfsDecoder, ObjectMapListings) {
  const Bytes root = MakeOmapRootLeaf(6, {{1028, 7}, {1030, 9}});
  EXPECT_EQ(apfs::ListOmapRootValues(View(root)), (std::vector<std::uint64_t>{7, 9}));
  EXPECT_EQ(apfs::ListOmapNode(View(root)).blocks, (std::vector<std::uint64_t>{7, 9}));

  Bytes leaf = root;
  PutU16(leaf, 32, 6);  // leaf, not root: the value slots are scanned from the end
  const apfs::OmapChildren children = apfs::ListOmapNode(View(leaf));
  EXPECT_FALSE(children.unknownFlags);
  EXPECT_TRUE(children.blocks.empty());  // root-placed values are 40 bytes off

  Bytes odd = root;
  PutU16(odd, 32, 2);
  EXPECT_TRUE(apfs::ListOmapNode(View(odd)).unknownFlags);

  // A value offset that would read before the value area ends the listing.
  Bytes bad = root;
  PutU16(bad, 58, 8);
  EXPECT_TRUE(apfs::ListOmapRootValues(View(bad)).empty());
}

TEST(ApfsDecoder, ObjectHeaderAndChecksum) {
  Bytes b = MakeObject(5, 0x4000000B, 0);
  Seal(b);
  EXPECT_TRUE(apfs::IsObjectHeader(View(b)));
  EXPECT_TRUE(apfs::ChecksumOk(View(b)));
  b[100] ^= 1;
  EXPECT_FALSE(apfs::ChecksumOk(View(b)));
  EXPECT_FALSE(apfs::IsObjectHeader(View(MakeObject(0, 1, 0))));
  EXPECT_FALSE(apfs::IsObjectHeader(View(MakeObject(5, 32, 0))));
  EXPECT_FALSE(apfs::IsObjectHeader(View(MakeObject(5, 1, 32))));
  EXPECT_FALSE(apfs::IsObjectHeader(View(Bytes(31, 1))));
}

}  // namespace
}  // namespace apfstest
