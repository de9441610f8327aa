#include "core/compress/Lznt1.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/Absent.h"
#include "support/Files.h"
#include "support/TempDir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string Decode(const Bytes& chunk, std::size_t capacity = lznt1::kChunkSize) {
  Bytes out(capacity, 0);
  const int n = lznt1::DecompressBlock(out, ByteView(chunk.data(), chunk.size()));
  if (n < 0) return "<fail>";
  return std::string(out.begin(), out.begin() + n);
}

TEST(Lznt1, StoredChunkIsCopied) { EXPECT_EQ(Decode({0x04, 0x30, 'h', 'e', 'l', 'l', 'o'}), "hello"); }

TEST(Lznt1, OverlappingBackReferenceRepeatsBytes) {
  // "abc", then 9 bytes from distance 3.
  EXPECT_EQ(Decode({0x05, 0xB0, 0x08, 'a', 'b', 'c', 0x06, 0x20}), "abcabcabcabc");
}

TEST(Lznt1, BackReferenceAtPosition17UsesElevenLengthBits) {
  // 17 literals, then distance 17 length 5: (16 << 11) | 2.
  Bytes chunk = {0x15, 0xB0, 0x00};
  for (char c = 'A'; c <= 'H'; ++c) chunk.push_back(static_cast<std::uint8_t>(c));
  chunk.push_back(0x00);
  for (char c = 'I'; c <= 'P'; ++c) chunk.push_back(static_cast<std::uint8_t>(c));
  chunk.insert(chunk.end(), {0x02, 'Q', 0x02, 0x80});
  EXPECT_EQ(Decode(chunk), "ABCDEFGHIJKLMNOPQABCDE");
}

TEST(Lznt1, DamagedChunksFailWithoutReadingOrWritingOutside) {
  struct Case {
    const char* what;
    Bytes chunk;
    std::size_t capacity;
  };
  const Case cases[] = {
      {"zero header", {0x00, 0x00, 'a'}, 4096},
      {"one byte only", {0x05}, 4096},
      {"length past the end", {0xFF, 0xB0, 0x00, 'a', 'b'}, 4096},
      {"stored length past the end", {0x10, 0x30, 'a'}, 4096},
      {"back-reference before the start", {0x05, 0xB0, 0x08, 'a', 'b', 'c', 0x00, 0x40}, 4096},
      {"back-reference at position 0", {0x02, 0xB0, 0x01, 0x00, 0x00}, 4096},
      {"back-reference cut by the chunk end", {0x04, 0xB0, 0x08, 'a', 'b', 'c', 0x06}, 4096},
      {"output beyond 4096 bytes", {0x03, 0xB0, 0x02, 'a', 0xFF, 0x0F}, 4096},
      {"stored chunk larger than the output", {0x09, 0x30, '0', '1', '2', '3', '4', '5', '6', '7', '8', '9'}, 4},
      {"literals beyond the output", {0x05, 0xB0, 0x00, 'a', 'b', 'c', 'd', 'e'}, 3},
  };
  for (const Case& c : cases) {
    Bytes out(c.capacity + 16, 0xEE);
    const int n = lznt1::DecompressBlock(std::span<std::uint8_t>(out.data(), c.capacity),
                                         ByteView(c.chunk.data(), c.chunk.size()));
    EXPECT_EQ(n, -1) << c.what;
    for (std::size_t i = c.capacity; i < out.size(); ++i) ASSERT_EQ(out[i], 0xEE) << c.what;
  }
}

TEST(Lznt1, UnitPlacesEachChunkInItsOwnSlot) {
  // A short first chunk ("ab") and a stored second one ("cd").
  const Bytes unit = {0x02, 0xB0, 0x00, 'a', 'b', 0x01, 0x30, 'c', 'd', 0x00, 0x00, 0x41, 0x42};
  Bytes out(3 * lznt1::kChunkSize, 0);
  const lznt1::UnitResult r = lznt1::DecompressUnit(ByteView(unit.data(), unit.size()), out);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.produced, lznt1::kChunkSize + 2);
  EXPECT_EQ(out[0], 'a');
  EXPECT_EQ(out[2], 0);
  EXPECT_EQ(out[lznt1::kChunkSize], 'c');
  EXPECT_EQ(out[lznt1::kChunkSize + 1], 'd');
  EXPECT_EQ(out[2 * lznt1::kChunkSize], 0) << "the zero header ends the unit";
}

TEST(Lznt1, UnitWithChunkPastTheInputFails) {
  const Bytes unit = {0x01, 0x30, 'x', 'y', 0x40, 0xB0, 0x00, 'a'};
  Bytes out(2 * lznt1::kChunkSize, 0);
  const lznt1::UnitResult r = lznt1::DecompressUnit(ByteView(unit.data(), unit.size()), out);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.produced, 2u);
}

TEST(Lznt1, KeramicsVectorDecodesToTheApacheLicence) {
  const std::string dir = testsupport::FixturesDir();
  if (dir.empty()) QUARNEL_SKIP_NO_FIXTURE() << "no fixtures folder (QUARNEL_FIXTURES_DIR)";
  const Bytes in = testsupport::ReadFileBytes(dir + "/keramics/compression/lznt1.compressed");
  if (in.empty()) QUARNEL_SKIP_NO_FIXTURE() << "keramics/compression/lznt1.compressed is missing";

  Bytes out(16 * lznt1::kChunkSize, 0);
  const lznt1::UnitResult r = lznt1::DecompressUnit(ByteView(in.data(), in.size()), out);
  ASSERT_TRUE(r.ok);
  ASSERT_GT(r.produced, 4096u);
  const std::string text(out.begin(), out.begin() + static_cast<long>(r.produced));
  EXPECT_NE(text.find("Apache License"), std::string::npos);
  EXPECT_NE(text.find("TERMS AND CONDITIONS FOR USE, REPRODUCTION, AND DISTRIBUTION"), std::string::npos);

  const Bytes licence = testsupport::ReadFileBytes("/usr/share/common-licenses/Apache-2.0");
  if (licence.empty()) return;
  // The same text, whatever the leading blanks of the copy at hand.
  const std::string reference(licence.begin(), licence.end());
  const std::size_t a = text.find("TERMS AND CONDITIONS");
  const std::size_t b = reference.find("TERMS AND CONDITIONS");
  ASSERT_NE(b, std::string::npos);
  const std::size_t n = std::min(text.size() - a, reference.size() - b);
  EXPECT_EQ(text.substr(a, n), reference.substr(b, n));
}

}  // namespace
