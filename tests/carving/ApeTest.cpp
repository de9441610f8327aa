// Monkey's Audio files: new versions are sized from their descriptor, old
// ones from their seek table up to the sector where their data end.
#include <gtest/gtest.h>

#include <cstring>

#include "carving/CarvingHarness.h"
#include "carving/MediaSamples.h"
#include "support/MemoryDevice.h"
#include "support/Bytes.h"

using namespace carvingtest;

namespace {

using testsupport::PutLe16;
using testsupport::PutLe32;

Bytes NonZero(std::size_t n, unsigned seed) {
  Bytes b = Noise(n, seed);
  for (auto& c : b) c = static_cast<std::uint8_t>(c | 1);
  return b;
}

Bytes ApeNew(std::size_t frameBytes, int channels = 2) {
  Bytes d(52 + 24, 0);
  std::memcpy(d.data(), "MAC ", 4);
  PutLe16(d, 4, 3990);
  PutLe32(d, 8, 52);
  PutLe32(d, 12, 24);
  PutLe32(d, 16, 16);
  PutLe32(d, 20, 44);
  PutLe32(d, 24, static_cast<unsigned>(frameBytes));
  PutLe16(d, 52 + 16, 16);
  PutLe16(d, 52 + 18, static_cast<unsigned>(channels));
  return Concat({d, NonZero(16 + 44 + frameBytes, 3)});
}

Bytes ApeTag() {
  Bytes footer(32, 0);
  std::memcpy(footer.data(), "APETAGEX", 8);
  PutLe32(footer, 8, 2000);
  PutLe32(footer, 12, 32 + 20);
  PutLe32(footer, 16, 1);
  return Concat({NonZero(20, 9), footer});
}

// Version 3970, 16-bit stereo, `frames` seek entries; the data run 700
// bytes past the last frame offset.
Bytes ApeOld(int frames, std::size_t spacing, unsigned& lastFrame) {
  Bytes h(32 + 44, 0);
  std::memcpy(h.data(), "MAC ", 4);
  PutLe16(h, 4, 3970);
  PutLe16(h, 10, 2);
  PutLe32(h, 16, 44);
  PutLe32(h, 24, static_cast<unsigned>(frames));
  Bytes table(4 * static_cast<std::size_t>(frames), 0);
  const unsigned first = static_cast<unsigned>(h.size() + table.size());
  for (int k = 0; k < frames; ++k) PutLe32(table, 4 * k, first + static_cast<unsigned>(k * spacing));
  lastFrame = first + static_cast<unsigned>((frames - 1) * spacing);
  return Concat({h, table, NonZero(lastFrame - first + 700, 4)});
}

testsupport::MemoryDevice Place(const Bytes& file, const Bytes& tail) {
  Bytes image((file.size() / 512 + 30) * 512 + tail.size(), 0);
  std::copy(file.begin(), file.end(), image.begin() + 512);
  std::copy(tail.begin(), tail.end(), image.begin() + 512 + static_cast<long long>(file.size()));
  return testsupport::MemoryDevice(std::move(image));
}

TEST(Ape, NewVersionIsSizedFromItsDescriptorWhateverFollows) {
  const Bytes file = ApeNew(30000);
  for (const Bytes& tail : {Bytes{}, NonZero(3000, 6)}) {
    auto device = Place(file, tail);
    const auto files = Files(Carve(&device));
    ASSERT_FALSE(files.empty());
    EXPECT_EQ(files.front().start, 1);
    EXPECT_EQ(files.front().size, static_cast<long long>(file.size()));
  }
}

TEST(Ape, ImplausibleHeadersAreDropped) {
  Bytes badChannels = ApeNew(3000, 6);
  Bytes badVersion = ApeNew(3000);
  PutLe16(badVersion, 4, 12000);
  for (const Bytes& file : {badChannels, badVersion}) {
    auto device = Place(file, {});
    EXPECT_TRUE(Files(Carve(&device)).empty());
  }
}

TEST(Ape, OldVersionEndsInTheSectorWhereItsDataEnd) {
  unsigned last = 0;
  const Bytes file = ApeOld(40, 700, last);
  auto device = Place(file, {});
  const auto files = Files(Carve(&device));
  ASSERT_FALSE(files.empty());
  const long long size = files.front().size;
  EXPECT_GE(size, static_cast<long long>(file.size()));
  EXPECT_LE(size, static_cast<long long>((file.size() + 511) / 512 * 512));
}

TEST(Ape, OldVersionWithATagEndsAfterTheTag) {
  unsigned last = 0;
  const Bytes file = Concat({ApeOld(40, 700, last), ApeTag()});
  auto device = Place(file, {});
  const auto files = Files(Carve(&device));
  ASSERT_FALSE(files.empty());
  EXPECT_EQ(files.front().size, static_cast<long long>(file.size()));
}

TEST(Ape, CutAndDamagedCopiesStayInsideTheDevice) {
  unsigned last = 0;
  for (const Bytes& file : {ApeNew(20000), ApeOld(30, 600, last)}) {
    for (int round = 0; round < 8; ++round) {
      Bytes copy = file;
      if (round % 2 == 0) {
        copy.resize(copy.size() * static_cast<std::size_t>(round + 1) / 9 + 8);
      } else {
        for (int k = 0; k < 6; ++k) copy[(k * 7919 + round * 131) % copy.size()] ^= 0x5A;
      }
      auto device = Place(copy, NonZero(500, static_cast<unsigned>(round)));
      const long long room = static_cast<long long>(device.GetTotalSectors()) * 512;
      for (const Found& f : Files(Carve(&device))) {
        EXPECT_GT(f.size, 0);
        EXPECT_LE(f.start * 512 + f.size, room);
      }
    }
  }
}

}  // namespace
