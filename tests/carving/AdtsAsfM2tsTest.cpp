// ADTS, ASF and transport streams are sized from their own structure while
// the sweep passes; ASF finds are typed by their stream kinds.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "carving/AsfAnalyser.h"
#include "carving/CarvingHarness.h"
#include "carving/MediaSamples.h"
#include "support/MemoryDevice.h"
#include "support/Bytes.h"

using namespace carvingtest;

namespace {

using testsupport::PutLe64;

testsupport::MemoryDevice Place(const Bytes& file, long long at, const Bytes& tail, std::size_t extra = 40) {
  Bytes image((file.size() / 512 + extra) * 512 + tail.size(), 0);
  std::copy(file.begin(), file.end(), image.begin() + at * 512);
  std::copy(tail.begin(), tail.end(), image.begin() + at * 512 + static_cast<long long>(file.size()));
  return testsupport::MemoryDevice(std::move(image));
}

std::string Ext(const Found& f) { return f.name.substr(f.name.rfind('.') + 1); }

Bytes Adts(int frames, unsigned seed) {
  Bytes out;
  std::mt19937 rng(seed);
  for (int k = 0; k < frames; ++k) {
    const unsigned length = 200 + rng() % 300;
    Bytes f = Noise(length, seed + static_cast<unsigned>(k));
    for (auto& b : f) b = static_cast<std::uint8_t>(b & 0x7F);  // no stray sync words
    f[0] = 0xFF;
    f[1] = 0xF1;
    f[2] = 0x50;
    f[3] = static_cast<std::uint8_t>(0x80 | ((length >> 11) & 3));
    f[4] = static_cast<std::uint8_t>(length >> 3);
    f[5] = static_cast<std::uint8_t>(((length & 7) << 5) | 0x1F);
    f[6] = 0xFC;
    out.insert(out.end(), f.begin(), f.end());
  }
  return out;
}

Bytes Ts(int packets, int packetSize) {
  Bytes out;
  for (int k = 0; k < packets; ++k) {
    Bytes p = Noise(static_cast<std::size_t>(packetSize), static_cast<unsigned>(k));
    const int sync = packetSize == 192 ? 4 : 0;
    for (auto& b : p) {
      if (b == 'G' || b == 0xFF) b = 0x12;
    }
    p[sync] = 'G';
    p[sync + 1] = 0x40;
    out.insert(out.end(), p.begin(), p.end());
  }
  return out;
}

Bytes AsfObject(const char* guid, const Bytes& body) {
  const auto g = BruteForce::CAsfAnalyser::Guid(guid);
  Bytes o(24, 0);
  std::copy(g.begin(), g.end(), o.begin());
  PutLe64(o, 16, body.size() + 24);
  o.insert(o.end(), body.begin(), body.end());
  return o;
}

constexpr const char* kVideo = "BC19EFC0-5B4D-11CF-A8FD-00805F5C442B";
constexpr const char* kAudio = "F8699E40-5B4D-11CF-A8FD-00805F5C442B";
constexpr const char* kCommand = "59DACFC0-59E6-11D0-A3AC-00A0C90348F6";

Bytes Asf(const std::vector<const char*>& streams) {
  Bytes objects;
  for (const char* kind : streams) {
    Bytes body(54, 0);
    const auto g = BruteForce::CAsfAnalyser::Guid(kind);
    std::copy(g.begin(), g.end(), body.begin());
    objects = Concat({objects, AsfObject("B7DC0791-A9B7-11CF-8EE6-00C00C205365", body)});
  }
  Bytes header = AsfObject("75B22630-668E-11CF-A6D9-00AA0062CE6C", Concat({Bytes{1, 0, 0, 0, 1, 2}, objects}));
  header[24] = static_cast<std::uint8_t>(streams.size());
  const Bytes data = AsfObject("75B22636-668E-11CF-A6D9-00AA0062CE6C", Noise(9000, 3));
  const Bytes index = AsfObject("33000890-E5B1-11CF-89F4-00A0C90349CB", Noise(300, 4));
  return Concat({header, data, index});
}

struct Case {
  const char* label;
  Bytes file;
  const char* extension;
  bool sizedAfterGarbage;
};

const Case& C(int k) {
  static const Case cases[] = {
      {"adts", Adts(120, 1), "M4A", false},        {"ts188", Ts(200, 188), "M2TS", true},
      {"ts192", Ts(150, 192), "M2TS", true},       {"wmv", Asf({kVideo, kAudio}), "WMV", true},
      {"wma", Asf({kAudio, kAudio}), "WMA", true}, {"asf_command", Asf({kAudio, kCommand}), "ASF", true},
  };
  return cases[k];
}

class OtherMedia : public ::testing::TestWithParam<int> {};

TEST_P(OtherMedia, SizeEqualsTheFileWithZerosAfter) {
  const Case& c = C(GetParam());
  for (long long blocks : {1024LL, 8LL}) {
    auto device = Place(c.file, 3, {});
    const auto files = Files(Carve(&device, blocks));
    ASSERT_FALSE(files.empty()) << c.label;
    EXPECT_EQ(files.front().start, 3);
    EXPECT_EQ(files.front().size, static_cast<long long>(c.file.size())) << c.label;
    EXPECT_EQ(Ext(files.front()), c.extension);
  }
}

TEST_P(OtherMedia, GarbageAfterTheFile) {
  const Case& c = C(GetParam());
  Bytes garbage = Noise(3000, 8);
  garbage[0] = 0x01;
  auto device = Place(c.file, 0, garbage);
  const auto files = Files(Carve(&device));
  if (!c.sizedAfterGarbage) {
    // The frame walk ends in a sector of non-zero data: no size.
    for (const Found& f : files) EXPECT_NE(f.start, 0);
    return;
  }
  ASSERT_FALSE(files.empty());
  EXPECT_EQ(files.front().start, 0);
  EXPECT_EQ(files.front().size, static_cast<long long>(c.file.size()));
}

TEST_P(OtherMedia, CutAndDamagedCopiesStayInsideTheDevice) {
  const Case& c = C(GetParam());
  std::mt19937 rng(5);
  for (int round = 0; round < 10; ++round) {
    const Bytes copy = DamagedCopy(c.file, round, 10, rng, 8, 0);
    auto device = Place(copy, 1, Noise(600, static_cast<unsigned>(round)), 10);
    const long long room = static_cast<long long>(device.GetTotalSectors()) * 512;
    for (const Found& f : Files(Carve(&device))) {
      EXPECT_GT(f.size, 0);
      EXPECT_LE(f.start * 512 + f.size, room);
    }
  }
}

TEST_P(OtherMedia, TwoScansGiveTheSameResult) {
  const Case& c = C(GetParam());
  auto device = Place(c.file, 2, {});
  const auto a = Files(Carve(&device));
  const auto b = Files(Carve(&device));
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t k = 0; k < a.size(); ++k) EXPECT_EQ(a[k].size, b[k].size);
}

INSTANTIATE_TEST_SUITE_P(Media, OtherMedia, ::testing::Range(0, 6),
                         [](const auto& info) { return std::string(C(info.param).label); });

TEST(M2ts, AShortStreamHasNoSize) {
  auto device = Place(Ts(100, 188), 0, {});
  EXPECT_TRUE(Files(Carve(&device)).empty());
}

TEST(M2ts, TwoStreamsInARowAreBothFound) {
  const Bytes a = Ts(200, 188);
  Bytes gap(512 - a.size() % 512 + 512, 0);
  const Bytes b = Ts(180, 188);
  auto device = Place(Concat({a, gap, b}), 0, {});
  const auto files = Files(Carve(&device));
  ASSERT_EQ(files.size(), 2U);
  EXPECT_EQ(files[0].size, static_cast<long long>(a.size()));
  EXPECT_EQ(files[1].size, static_cast<long long>(b.size()));
}

}  // namespace
