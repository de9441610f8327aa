// The small pieces under the analysers: ring device, byte helpers, name
// filter, name counters, times, EXIF and UTF-8 conversion.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "carving/BufferStorageDevice.h"
#include "carving/Exif.h"
#include "carving/FileNameFilter.h"
#include "carving/RawFileInfo.h"
#include "carving/RawFileNode.h"
#include "carving/RawUtility.h"
#include "carving/Utf8Convert.h"
#include "support/MemoryDevice.h"

using BruteForce::RawUtility;

namespace {

std::vector<unsigned char> Block(unsigned char fill, std::size_t sectors) {
  return std::vector<unsigned char>(sectors * 512, fill);
}

TEST(RingDevice, KeepsTheLastBlocksAndWrapsReads) {
  testsupport::MemoryDevice behind(std::vector<std::uint8_t>(64 * 512, 0xEE));
  CBufferStorageDevice ring;
  ASSERT_EQ(ring.InitBufferDevice(&behind, 0, 512, 4, 2), 1);
  for (int b = 0; b < 3; ++b) ring.AddBlockToBuffer(Block(static_cast<unsigned char>(b + 1), 4).data(), b * 4, 4);
  EXPECT_TRUE(ring.IsFullBuffer());
  EXPECT_EQ(ring.GetDeviceStartSector(), 4u);
  std::vector<unsigned char> out(4 * 512);
  ASSERT_EQ(ring.ReadSector(out.data(), 6, 4), 1);
  EXPECT_EQ(out[0], 2);        // sector 6: block 1
  EXPECT_EQ(out[2 * 512], 3);  // sector 8: block 2, from ring slot 0
  ASSERT_EQ(ring.ReadSector(out.data(), 3, 2), 1);
  EXPECT_EQ(out[0], 0xEE);  // before the ring: the device behind
}

TEST(RingDevice, AGapEmptiesTheRing) {
  CBufferStorageDevice ring;
  ASSERT_EQ(ring.InitBufferDevice(nullptr, 0, 512, 4, 3), 1);
  ring.AddBlockToBuffer(Block(1, 4).data(), 0, 4);
  ring.AddBlockToBuffer(Block(2, 4).data(), 12, 2);  // not after block 0
  EXPECT_EQ(ring.GetDeviceStartSector(), 12u);
  std::vector<unsigned char> out(512);
  ASSERT_EQ(ring.ReadSector(out.data(), 13, 1), 1);
  EXPECT_EQ(out[0], 2);
  ASSERT_EQ(ring.ReadSector(out.data(), 14, 1), 1);
  EXPECT_EQ(out[0], 0);  // the short block's tail is zeroed
  EXPECT_EQ(ring.ReadSector(out.data(), 0, 1), 0);
}

// Shared blocks (the read-ahead cache's own) and copied ones read alike.
TEST(RingDevice, SharedAndCopiedBlocksReadAlike) {
  testsupport::MemoryDevice behind(std::vector<std::uint8_t>(64 * 512, 0xEE));
  CBufferStorageDevice ring;
  ASSERT_EQ(ring.InitBufferDevice(&behind, 0, 512, 4, 3), 1);
  for (int b = 0; b < 5; ++b) {
    auto block = std::make_shared<std::vector<unsigned char>>(Block(static_cast<unsigned char>(b + 1), 4));
    if (b % 2 == 0) {
      ring.AddSharedBlock(std::shared_ptr<const unsigned char>(block, block->data()), b * 4, 4);
    } else {
      ring.AddBlockToBuffer(block->data(), b * 4, 4);
    }
  }
  EXPECT_EQ(ring.GetDeviceStartSector(), 8u);
  std::vector<unsigned char> out(12 * 512);
  ASSERT_EQ(ring.ReadSector(out.data(), 8, 12), 1);
  for (int s = 0; s < 12; ++s) EXPECT_EQ(out[s * 512], 3 + s / 4) << s;
  ASSERT_EQ(ring.ReadSector(out.data(), 7, 2), 1);
  EXPECT_EQ(out[0], 0xEE) << "partly before the ring: the device behind";
}

TEST(RawUtility, BinaryCompareAndFindMagic) {
  const unsigned char two[] = {1, 2, 0, 0};
  const unsigned char one[] = {1, 0, 0, 0};
  const unsigned char none[] = {0, 0, 0, 0};
  EXPECT_EQ(RawUtility::Binary_Compare(two, 4), 2);
  EXPECT_EQ(RawUtility::Binary_Compare(one, 4), 2);
  EXPECT_EQ(RawUtility::Binary_Compare(none, 4), 0);
  const unsigned char data[] = {0xFF, 0xD9, 1, 0xFF, 0xD9, 0, 0, 0};
  const unsigned char eoi[] = {0xFF, 0xD9};
  EXPECT_EQ(RawUtility::FindMagicInBuffer(data, 8, 3, eoi, 2), 5);
  EXPECT_EQ(RawUtility::FindMagicInBuffer(data, 8, 9, eoi, 2), 0);
  unsigned v = 0x11223344;
  SwabLong(&v);
  EXPECT_EQ(v, 0x44332211u);
}

TEST(FileNameFilter, ReplacesBadBytesAndTrims) {
  struct Row {
    const char* in;
    const char* out;
  };
  const Row rows[] = {
      {"a/b:c ", "a_b_c"}, {"x?\"<>|*\r\n", "x________"}, {"", ""}, {"..hidden", "hidden"}, {"\\\x01", "__"}};
  for (const Row& r : rows) EXPECT_EQ(ApiStrFilterBadFileName(r.in), r.out) << r.in;
  EXPECT_TRUE(ApiIsInvalidCharInFileName(0xC3));
  EXPECT_FALSE(ApiIsInvalidCharInFileName('@'));
  EXPECT_EQ(CutUtf8("ab\xC3\xA9", 3), "ab");
}

TEST(RawFileNode, CounterNamesAndTimes) {
  ResetRawFileNameCounters();
  EXPECT_EQ(CRAWFileNode::BuildFileName(35, ""), "FILE000.JPG");
  EXPECT_EQ(CRAWFileNode::BuildFileName(35, "NIKON_D70_100-2000_"), "NIKON_D70_100-2000_001.JPG");
  EXPECT_EQ(CRAWFileNode::BuildFileName(51, "\xFF\xFE"), "FILE000.PNG");
  // 2004-05-06 12:34:56 UTC.
  EXPECT_EQ(CRAWFileNode::ParseTimeText("2004:05:06 12:34:56"), 1083846896LL * 10000000 + kFileTimeUnixEpoch);
  EXPECT_EQ(CRAWFileNode::ParseTimeText("100-180"), 0);
  EXPECT_EQ(CRAWFileNode::ParseTimeText("x"), 0);
  ResetRawFileNameCounters();
}

TEST(RawFileNode, OneExtentInDeviceSectors) {
  CRawFileInfo info;
  info.m_llStartSector = 100;
  info.m_llSize = 1000;
  info.m_eType = 35;
  CRAWFileNode node;
  ASSERT_EQ(node.Initilaize(&info, 32, 10, 10000), 1);
  const DataRun* run = node.GetDataRunList()->GetFirst();
  ASSERT_NE(run, nullptr);
  EXPECT_EQ(run->start, 100);
  EXPECT_EQ(run->length, 2);
  EXPECT_EQ(node.GetFileSize(), 1000);
  std::unique_ptr<IFileNode, void (*)(IFileNode*)> copy(node.Clone(), [](IFileNode* n) { n->Release(); });
  EXPECT_NE(copy.get(), &node);
  EXPECT_STREQ(copy->GetFileName(), node.GetFileName());
}

std::vector<unsigned char> ExifWith(std::uint32_t firstIfd, std::uint16_t count) {
  std::vector<unsigned char> b = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0};
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>(firstIfd >> (8 * i)));
  b.push_back(static_cast<unsigned char>(count));
  b.push_back(static_cast<unsigned char>(count >> 8));
  return b;
}

TEST(Exif, RefusesBadHeadersAndBoundsEverything) {
  tag_ExifInfo info{};
  SetExitInfo(&info);
  auto bad = ExifWith(20, 0);
  EXPECT_EQ(EXIF_process_EXIF(nullptr, 0, bad.data(), static_cast<unsigned>(bad.size())), 0);
  EXPECT_STREQ(EXIF_GetErrorString(), "Suspicious offset of first IFD value");
  auto big = ExifWith(8, 500);  // 500 entries in a tiny block
  EXPECT_EQ(EXIF_process_EXIF(nullptr, 0, big.data(), static_cast<unsigned>(big.size())), 0);
  EXPECT_STREQ(EXIF_GetErrorString(), "Illegally sized directory");

  // A make of 40 characters, and an Exif sub-directory that points back to IFD0.
  auto ok = ExifWith(8, 2);
  auto entry = [&ok](unsigned tag, unsigned format, std::uint32_t n, std::uint32_t value) {
    for (unsigned v : {tag & 0xFF, tag >> 8, format, 0u}) ok.push_back(static_cast<unsigned char>(v));
    for (int i = 0; i < 4; ++i) ok.push_back(static_cast<unsigned char>(n >> (8 * i)));
    for (int i = 0; i < 4; ++i) ok.push_back(static_cast<unsigned char>(value >> (8 * i)));
  };
  entry(0x010F, 2, 40, 8 + 2 + 24 + 4);
  entry(0x8769, 4, 1, 8);
  for (int i = 0; i < 4; ++i) ok.push_back(0);
  for (int i = 0; i < 40; ++i) ok.push_back(static_cast<unsigned char>('A' + i % 26));
  ASSERT_EQ(EXIF_process_EXIF(nullptr, 0, ok.data(), static_cast<unsigned>(ok.size())), 1);
  EXPECT_EQ(std::strlen(info.CameraMake), 31u);
  SetExitInfo(nullptr);
}

TEST(Utf8, ConvertsValidTextAndRefusesTheRest) {
  char out[16];
  const unsigned char text[] = "caf\xC3\xA9";
  EXPECT_EQ(UTF8ToANSI(text, 5, out, sizeof(out)), 5u);
  EXPECT_STREQ(out, "caf\xC3\xA9");
  EXPECT_EQ(UTF8ToANSI(text, 0, out, sizeof(out)), 0u);
  const unsigned char broken[] = {'a', 0xC3, 'b'};
  EXPECT_EQ(UTF8ToANSI(broken, 3, out, sizeof(out)), 0u);
  wchar_t wide[4];
  const unsigned char emoji[] = {0xF0, 0x9F, 0x98, 0x80};
  ASSERT_EQ(UTF8ToUNICODE(emoji, 4, wide, 4), 1u);
  EXPECT_EQ(static_cast<unsigned long>(wide[0]), 0x1F600ul);
}

}  // namespace
