// Decoders over bytes: volume header, B-tree nodes, keys and records.

#include <gtest/gtest.h>

#include <vector>

#include "core/util/Utf16.h"
#include "hfsplus/BTreeNode.h"
#include "hfsplus/CatalogKey.h"
#include "hfsplus/CatalogRecord.h"
#include "hfsplus/HfsPlusVolume.h"
#include "hfsplus/VolumeHeader.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void Be16(Bytes& b, std::size_t at, std::uint16_t v) {
  b[at] = static_cast<std::uint8_t>(v >> 8);
  b[at + 1] = static_cast<std::uint8_t>(v);
}
void Be32(Bytes& b, std::size_t at, std::uint32_t v) {
  Be16(b, at, static_cast<std::uint16_t>(v >> 16));
  Be16(b, at + 2, static_cast<std::uint16_t>(v));
}

Bytes Header(std::uint32_t blockSize, std::uint16_t version) {
  Bytes h(512, 0);
  Be16(h, 0, 0x482B);
  Be16(h, 2, version);
  Be32(h, 40, blockSize);
  Be32(h, 44, 100);
  Be32(h, 48, 10);
  Be32(h, 272 + 4, 0);
  // catalog: logicalSize = blockSize x 4
  const std::uint64_t logical = static_cast<std::uint64_t>(blockSize) * 4;
  Be32(h, 272, static_cast<std::uint32_t>(logical >> 32));
  Be32(h, 276, static_cast<std::uint32_t>(logical));
  Be32(h, 272 + 12, 4);
  return h;
}

struct HeaderCase {
  std::uint32_t blockSize;
  std::uint16_t version;
  bool valid;
};

class VolumeHeaderValidity : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(VolumeHeaderValidity, FollowsBlockSizeAndVersionRules) {
  const HeaderCase c = GetParam();
  const Bytes h = Header(c.blockSize, c.version);
  EXPECT_EQ(CHFSPlusVolume::IsValidVolumeHeader(h.data(), static_cast<std::uint16_t>(h.size())), c.valid);
}

INSTANTIATE_TEST_SUITE_P(Cases, VolumeHeaderValidity,
                         ::testing::Values(HeaderCase{4096, 4, true}, HeaderCase{512, 4, true},
                                           HeaderCase{4100, 4, false}, HeaderCase{4096, 17, false},
                                           HeaderCase{0, 4, false},     // 0 passed "low 9 bits zero"
                                           HeaderCase{1536, 4, false},  // a multiple of 512, not a power of two
                                           HeaderCase{256, 4, false}));

TEST(VolumeHeader, ShortOrWrongSignatureFails) {
  Bytes h = Header(4096, 4);
  EXPECT_FALSE(CHFSPlusVolume::IsValidVolumeHeader(h.data(), 511));
  Be16(h, 0, 0x4244);  // classic HFS
  EXPECT_FALSE(CHFSPlusVolume::IsValidVolumeHeader(h.data(), 512));
  Be16(h, 0, 0x4858);
  EXPECT_TRUE(CHFSPlusVolume::IsValidVolumeHeader(h.data(), 512));
  Be32(h, 44, 5);  // fewer blocks than free blocks
  EXPECT_FALSE(CHFSPlusVolume::IsValidVolumeHeader(h.data(), 512));
}

// A leaf of 512 bytes with the given record offsets (the last is free space).
Bytes Node(std::int8_t kind, std::uint8_t height, const std::vector<std::uint16_t>& offsets) {
  Bytes n(512, 0);
  n[8] = static_cast<std::uint8_t>(kind);
  n[9] = height;
  Be16(n, 10, static_cast<std::uint16_t>(offsets.size() - 1));
  for (std::size_t i = 0; i < offsets.size(); ++i) Be16(n, 512 - 2 * (i + 1), offsets[i]);
  return n;
}

struct NodeCase {
  const char* what;
  std::int8_t kind;
  std::uint8_t height;
  std::vector<std::uint16_t> offsets;
  bool valid;
};

class NodeValidity : public ::testing::TestWithParam<NodeCase> {};

TEST_P(NodeValidity, ChecksKindHeightAndOffsets) {
  const NodeCase& c = GetParam();
  const Bytes n = Node(c.kind, c.height, c.offsets);
  EXPECT_EQ(CHFSPlusBTNode::IsValidNode(ByteView(n.data(), n.size()), 512), c.valid) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, NodeValidity,
                         ::testing::Values(NodeCase{"leaf", -1, 1, {14, 40, 80}, true},
                                           NodeCase{"empty leaf", -1, 1, {14}, true},
                                           NodeCase{"index", 0, 2, {14, 30}, true},
                                           NodeCase{"header", 1, 0, {14, 120, 248, 504}, true},
                                           NodeCase{"first offset not 14", -1, 1, {16, 40}, false},
                                           NodeCase{"offsets not increasing", -1, 1, {14, 40, 40}, false},
                                           NodeCase{"offset into the table", -1, 1, {14, 40, 509}, false},
                                           NodeCase{"leaf of height 2", -1, 2, {14, 40}, false},
                                           NodeCase{"index of height 1", 0, 1, {14, 40}, false},
                                           NodeCase{"header of height 1", 1, 1, {14, 40}, false},
                                           NodeCase{"unknown kind", 3, 0, {14, 40}, false},
                                           NodeCase{"index deeper than any tree", 0, 17, {14, 40}, false}));

TEST(Node, RecordCountBeyondTheNodeIsRejected) {
  Bytes n = Node(-1, 1, {14, 40});
  Be16(n, 10, 300);  // 301 offsets cannot fit 512 bytes
  EXPECT_FALSE(CHFSPlusBTNode::IsValidNode(ByteView(n.data(), n.size()), 512));
  EXPECT_FALSE(CHFSPlusBTNode::IsValidNode(ByteView(n.data(), n.size()), 600));  // not a node size
}

TEST(Node, RecordsAreBoundedByTheirOffsets) {
  const Bytes n = Node(-1, 1, {14, 40, 80});
  auto node = CHFSPlusBTNode::Create(n, 512);
  ASSERT_TRUE(node);
  EXPECT_EQ(node->GetRecord(0).Size(), 26u);
  EXPECT_EQ(node->GetRecord(1).Size(), 40u);
  EXPECT_FALSE(node->GetRecord(2).Ok());
}

Bytes CatalogKeyBytes(std::uint32_t parent, const std::u16string& name, std::uint16_t storedLength,
                      std::uint16_t keyLength) {
  Bytes k(8 + 2 * name.size(), 0);
  Be16(k, 0, keyLength);
  Be32(k, 2, parent);
  Be16(k, 6, storedLength);
  for (std::size_t i = 0; i < name.size(); ++i) Be16(k, 8 + 2 * i, name[i]);
  return k;
}

TEST(CatalogKey, SlashReadsAsColonAndSortsAsSlash) {
  const Bytes raw = CatalogKeyBytes(2, u"a/b", 3, 12);
  const auto key = DecodeCatalogKey(ByteView(raw.data(), raw.size()));
  ASSERT_TRUE(key);
  EXPECT_EQ(text::Utf16ToUtf8(key->nodeName), "a:b");
  // "/" (0x2F) sorts before "0" (0x30); ":" (0x3A) would sort after it.
  EXPECT_LT(CompareCatalogKeys(*key, MakeCatalogKey(2, u"a0"), false), 0);
  EXPECT_LT(CompareCatalogKeys(*key, MakeCatalogKey(2, u"a0"), true), 0);
}

TEST(CatalogKey, NameLengthIsClampedToTheKey) {
  const Bytes raw = CatalogKeyBytes(2, u"abc", 200, 12);  // claims 200 units, the key holds 3
  const auto key = DecodeCatalogKey(ByteView(raw.data(), raw.size()));
  ASSERT_TRUE(key);
  EXPECT_EQ(key->nodeName, u"abc");
  const Bytes tooLong = CatalogKeyBytes(2, u"abc", 3, 40);  // key longer than the record
  EXPECT_FALSE(DecodeCatalogKey(ByteView(tooLong.data(), tooLong.size())));
}

TEST(CatalogKey, FoldingAndBinaryOrder) {
  const auto lower = MakeCatalogKey(2, u"abc");
  const auto upper = MakeCatalogKey(2, u"ABC");
  EXPECT_EQ(CompareCatalogKeys(lower, upper, false), 0);
  EXPECT_NE(CompareCatalogKeys(lower, upper, true), 0);
  // Ignorable units are skipped when folding.
  EXPECT_EQ(FastUnicodeCompare(u"a\u200Cb", u"ab"), 0);
  // Parent ids come first.
  EXPECT_LT(CompareCatalogKeys(MakeCatalogKey(1, u"zzz"), MakeCatalogKey(2, u"a"), false), 0);
}

TEST(CatalogRecord, RecordsMustFitWhole) {
  Bytes file(248, 0);
  Be16(file, 0, 2);
  Be32(file, 8, 77);
  EXPECT_EQ(DecodeCatalogRecord(ByteView(file.data(), file.size()))->id, 77u);
  EXPECT_FALSE(DecodeCatalogRecord(ByteView(file.data(), 200)));
  Bytes thread(14, 0);
  Be16(thread, 0, 4);
  Be16(thread, 8, 100);  // 100 units claimed, 2 stored
  Be16(thread, 10, 'h');
  Be16(thread, 12, 'i');
  const auto t = DecodeCatalogRecord(ByteView(thread.data(), thread.size()));
  ASSERT_TRUE(t);
  EXPECT_EQ(t->threadName, u"hi");
  Bytes other(88, 0);
  Be16(other, 0, 9);
  EXPECT_FALSE(DecodeCatalogRecord(ByteView(other.data(), other.size())));
}

}  // namespace
