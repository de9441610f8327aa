// 7-Zip archives and xz streams made by the real tools are carved at their
// exact size: the 7z start header gives the end, the xz stream footer ends
// the stream, in zero filler and amid random bytes.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "carving/CarvingHarness.h"
#include "carving/Samples.h"
#include "support/Absent.h"
#include "support/MemoryDevice.h"
#include "support/TempDir.h"

using namespace carvingtest;

namespace {

constexpr std::size_t kSectors = 8192;

struct Sample {
  std::string what;
  Bytes bytes;
  std::string extension;
};

class SevenZipXz : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_lack = testsupport::MissingTool({"7z", "xz"});
    if (!s_lack.empty()) return;
    testsupport::TempDir dir;
    const std::string d = dir.Path().string();
    std::filesystem::create_directories(dir.Path() / "src");
    WriteAll(d + "/src/one.txt", Noise(20000, 31, true));
    WriteAll(d + "/src/two.bin", Noise(9000, 32));
    WriteAll(d + "/src/three.txt", Noise(45000, 33, true));
    const std::string src = "'" + d + "/src/";
    s_samples = {
        {"7z of three files",
         RunAndRead("cd '" + d + "/src' && 7z a -bd -bso0 -bse0 ../a.7z . >/dev/null", d + "/a.7z"), ".7Z"},
        {"7z stored",
         RunAndRead("cd '" + d + "/src' && 7z a -mx0 -bd -bso0 -bse0 ../b.7z two.bin >/dev/null", d + "/b.7z"), ".7Z"},
        {"xz", RunAndRead("xz -c " + src + "three.txt' > '" + d + "/a.xz'", d + "/a.xz"), ".XZ"},
        {"xz in blocks with sha256",
         RunAndRead("xz -c --block-size=8192 --check=sha256 " + src + "three.txt' > '" + d + "/b.xz'", d + "/b.xz"),
         ".XZ"},
        {"xz of random bytes with crc32",
         RunAndRead("xz -c --check=crc32 " + src + "two.bin' > '" + d + "/c.xz'", d + "/c.xz"), ".XZ"},
    };
    for (const Sample& s : s_samples) {
      if (s.bytes.empty()) s_lack = testsupport::Broken("the tools made no " + s.what);
    }
  }
  void SetUp() override {
    if (!s_lack.empty()) QUARNEL_SKIP_LACK(s_lack);
  }

  static testsupport::Lack s_lack;
  static std::vector<Sample> s_samples;
};

testsupport::Lack SevenZipXz::s_lack;
std::vector<Sample> SevenZipXz::s_samples;

// The samples one after another from sector 8, each right after the
// previous one's last sector.
testsupport::MemoryDevice Image(const std::vector<Sample>& samples, bool random, std::vector<long long>& starts) {
  Bytes image(kSectors * 512, 0);
  if (random) {
    std::mt19937 rng(77);
    for (auto& byte : image) byte = static_cast<std::uint8_t>(rng());
  }
  long long sector = 8;
  for (const Sample& s : samples) {
    starts.push_back(sector);
    std::copy(s.bytes.begin(), s.bytes.end(), image.begin() + sector * 512);
    sector += static_cast<long long>((s.bytes.size() + 511) / 512);
  }
  return testsupport::MemoryDevice(std::move(image));
}

TEST_F(SevenZipXz, CarvedAtTheirExactSizeInZerosAndAmidRandomBytes) {
  for (bool random : {false, true}) {
    std::vector<long long> starts;
    auto device = Image(s_samples, random, starts);
    const std::vector<Found> files = Files(Carve(&device));
    for (std::size_t i = 0; i < s_samples.size(); ++i) {
      const Found* hit = nullptr;
      for (const Found& f : files) {
        if (f.start == starts[i]) hit = &f;
      }
      ASSERT_NE(hit, nullptr) << s_samples[i].what << " random " << random;
      EXPECT_EQ(hit->size, static_cast<long long>(s_samples[i].bytes.size())) << s_samples[i].what;
      const std::string& name = hit->name;
      EXPECT_EQ(name.substr(name.size() - 3), s_samples[i].extension) << s_samples[i].what << " " << name;
    }
  }
}

// A 7z start header whose CRC does not match, and an xz stream whose footer
// is damaged, prove no end: neither is carved.
TEST_F(SevenZipXz, DamagedHeaderOrFooterIsNoFile) {
  Sample sevenZip = s_samples[0];
  sevenZip.bytes[14] ^= 0x40;  // inside the next-header offset
  Sample xz = s_samples[2];
  xz.bytes[xz.bytes.size() - 12] ^= 0x01;  // the footer's CRC
  std::vector<long long> starts;
  auto device = Image({sevenZip, xz}, false, starts);
  for (const Found& f : Files(Carve(&device))) {
    EXPECT_NE(f.start, starts[0]) << f.name;
    EXPECT_NE(f.start, starts[1]) << f.name;
  }
}

}  // namespace
