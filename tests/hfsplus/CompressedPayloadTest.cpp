// decmpfs payloads made by macOS decode to their original content.

#include <gtest/gtest.h>

#include <filesystem>

#include "core/compress/Decmpfs.h"
#include "hfsplus/HfsTestSupport.h"
#include "core/compress/Lzvn.h"
#include "support/Absent.h"
#include "support/TempDir.h"

namespace {

using hfstest::Bytes;

// Decodes a whole compressed resource fork of `type` into `size` bytes.
Bytes DecodeFork(std::uint32_t type, const Bytes& fork, std::size_t size) {
  const ByteView view(fork.data(), fork.size());
  const auto chunks =
      type == kDecmpfsZlibResource ? DecodeZlibForkTable(view, fork.size()) : DecodeLzvnForkTable(view, fork.size());
  if (!chunks) return {};
  Bytes out;
  for (const DecmpfsChunk& c : *chunks) {
    const std::size_t want = std::min<std::size_t>(kDecmpfsChunkSize, size - out.size());
    Bytes chunk(want);
    const std::size_t n = DecodeDecmpfsChunk(type, view.Sub(c.offset, c.size), chunk);
    out.insert(out.end(), chunk.begin(), chunk.begin() + static_cast<long>(n));
    if (out.size() == size) break;
  }
  return out;
}

Bytes DecodeInline(std::uint32_t type, const Bytes& payload, std::size_t size) {
  Bytes out(size);
  out.resize(DecodeDecmpfsChunk(type, ByteView(payload.data(), payload.size()), out));
  return out;
}

struct PayloadCase {
  const char* payload;
  const char* expected;
  std::uint32_t type;
  bool resourceFork;
};

class MacPayload : public ::testing::TestWithParam<PayloadCase> {};

TEST_P(MacPayload, DecodesToTheOriginal) {
  const std::string dir = testsupport::FixturesDir();
  if (dir.empty()) QUARNEL_SKIP_NO_FIXTURE() << "no fixtures folder";
  const PayloadCase c = GetParam();
  const std::string payloadPath = dir + "/hfsplus-forensic/decmpfs/" + c.payload;
  if (!std::filesystem::exists(payloadPath)) QUARNEL_SKIP_NO_FIXTURE() << payloadPath << " is absent";
  const Bytes payload = hfstest::ReadFileBytes(payloadPath);
  const Bytes expected = hfstest::ReadFileBytes(dir + "/hfsplus-forensic/decmpfs/" + c.expected);
  const Bytes got =
      c.resourceFork ? DecodeFork(c.type, payload, expected.size()) : DecodeInline(c.type, payload, expected.size());
  EXPECT_EQ(got.size(), expected.size());
  EXPECT_TRUE(got == expected);
}

INSTANTIATE_TEST_SUITE_P(Payloads, MacPayload,
                         ::testing::Values(PayloadCase{"real_zlib_inline.payload", "real_zlib_inline.expected", 3,
                                                       false},
                                           PayloadCase{"zlib_type3_stored.payload", "zlib_inline.expected", 3, false},
                                           PayloadCase{"real_zlib_rsrc.rsrc", "zlib.expected", 4, true},
                                           PayloadCase{"lzvn.rsrc", "lzvn.expected", 8, true},
                                           PayloadCase{"tahoe_type8.rsrc", "tahoe_type8.expected", 8, true}));

TEST(MacPayload, RawLzvnBlockOfKeramics) {
  const std::string dir = testsupport::FixturesDir();
  if (dir.empty()) QUARNEL_SKIP_NO_FIXTURE() << "no fixtures folder";
  const Bytes payload = hfstest::ReadFileBytes(dir + "/keramics/compression/lzvn.compressed");
  if (payload.empty()) QUARNEL_SKIP_NO_FIXTURE() << "lzvn.compressed is absent";
  const Bytes got = DecodeInline(7, payload, 64);
  EXPECT_EQ(std::string(got.begin(), got.end()), "My compressed file\n");
}

TEST(MacPayload, LzfseTypesAreNotDecoded) {
  const std::string dir = testsupport::FixturesDir();
  if (dir.empty()) QUARNEL_SKIP_NO_FIXTURE() << "no fixtures folder";
  const Bytes payload = hfstest::ReadFileBytes(dir + "/hfsplus-forensic/decmpfs/real_lzfse_inline.payload");
  if (payload.empty()) QUARNEL_SKIP_NO_FIXTURE() << "payload is absent";
  EXPECT_TRUE(DecodeInline(11, payload, 2000).empty());
  const Bytes type9 = hfstest::ReadFileBytes(dir + "/hfsplus-forensic/decmpfs/tahoe_type9.decmpfs");
  const auto header = DecodeDecmpfsHeader(ByteView(type9.data(), type9.size()));
  ASSERT_TRUE(header);
  EXPECT_EQ(header->type, 9u);
  EXPECT_EQ(header->uncompressedSize, 63u);
}

TEST(Lzvn, EdgeCases) {
  std::uint8_t dst[16] = {};
  const std::uint8_t literals[] = {0xE3, 'a', 'b', 'c', 0x06, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(lzvn_decode(dst, sizeof dst, literals, sizeof literals), 3u);
  EXPECT_EQ(std::string(dst, dst + 3), "abc");
  // A match at output position 0 reaches before the output.
  const std::uint8_t early[] = {0x08, 0x01, 0x06, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(lzvn_decode(dst, sizeof dst, early, sizeof early), 0u);
  // The previous distance starts at 0: a match with it is refused.
  const std::uint8_t zero[] = {0x46, 'x', 0x06, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(lzvn_decode(dst, sizeof dst, zero, sizeof zero), 0u);
  // An invalid opcode, and literals that run into the padding.
  const std::uint8_t invalid[] = {0x70, 0x06, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(lzvn_decode(dst, sizeof dst, invalid, sizeof invalid), 0u);
  const std::uint8_t overrun[] = {0xEF, 'a', 'b', 0x06, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(lzvn_decode(dst, sizeof dst, overrun, sizeof overrun), 0u);
  // A literal then an overlapping match of distance 1 repeats the byte; a
  // destination that fills up stops the decoding at its size.
  const std::uint8_t repeat[] = {0xE1, 'q', 0x3F, 0x01, 0x00, 0x06, 0, 0, 0, 0, 0, 0, 0};
  std::uint8_t small[5] = {};
  EXPECT_EQ(lzvn_decode(small, sizeof small, repeat, sizeof repeat), 5u);
  EXPECT_EQ(std::string(small, small + 5), "qqqqq");
}

TEST(DecmpfsTables, ChunksMustLieInsideTheFork) {
  // LZVN table: the first offset is the table size; the last entry ends past the fork.
  const Bytes lzvn = {8, 0, 0, 0, 200, 0, 0, 0, 0x06, 'a'};
  EXPECT_FALSE(DecodeLzvnForkTable(ByteView(lzvn.data(), lzvn.size()), lzvn.size()));
  const Bytes badTable = {3, 0, 0, 0};
  EXPECT_FALSE(DecodeLzvnForkTable(ByteView(badTable.data(), badTable.size()), badTable.size()));
  // zlib fork: a block count larger than the fork can hold.
  Bytes zlib(300, 0);
  zlib[3] = 0;
  zlib[2] = 1;  // R = 256
  zlib[256 + 4] = 0xFF;
  zlib[256 + 5] = 0xFF;
  EXPECT_FALSE(DecodeZlibForkTable(ByteView(zlib.data(), zlib.size()), zlib.size()));
}

TEST(DecmpfsChunks, RawMarkersAreCopied) {
  Bytes out(4);
  const Bytes zlibRaw = {0xFF, 'w', 'x', 'y', 'z'};
  EXPECT_EQ(DecodeDecmpfsChunk(4, ByteView(zlibRaw.data(), zlibRaw.size()), out), 4u);
  EXPECT_EQ(std::string(out.begin(), out.end()), "wxyz");
  const Bytes lzvnRaw = {0x06, '1', '2', '3', '4'};
  EXPECT_EQ(DecodeDecmpfsChunk(8, ByteView(lzvnRaw.data(), lzvnRaw.size()), out), 4u);
  EXPECT_EQ(std::string(out.begin(), out.end()), "1234");
}

}  // namespace
