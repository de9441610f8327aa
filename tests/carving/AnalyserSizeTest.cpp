// Each analyser sizes real files exactly (the fidentify check), whatever
// follows them; cut and damaged copies are refused or sized within the
// device, never a crash.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "carving/CarvingHarness.h"
#include "carving/Samples.h"
#include "support/Absent.h"
#include "support/MemoryDevice.h"
#include "support/TempDir.h"

using namespace carvingtest;

namespace {

struct SampleCase {
  const char* label;
  std::function<Bytes(testsupport::TempDir&)> make;
  const char* extension;
  bool exactAfterGarbage;      // texts end at the first zero tail
  const char* tool = nullptr;  // the program that makes the sample, when one does
};

Bytes GzipOf(testsupport::TempDir& dir, std::size_t n) {
  const std::string in = dir.File("data.txt");
  WriteAll(in, MakeHtml(n, 5));
  return RunAndRead("gzip -c -N -6 '" + in + "' > '" + in + ".gz'", in + ".gz");
}

Bytes TarOf(testsupport::TempDir& dir, std::size_t n) {
  const std::string file = dir.File("member.bin");
  WriteAll(file, Noise(n, 9));
  return RunAndRead("tar --format=ustar -cf '" + dir.File("a.tar") + "' -C '" + dir.Path().string() + "' member.bin",
                    dir.File("a.tar"));
}

Bytes Jpeg(int width, int height, unsigned seed, const char* make = "", const char* model = "", bool dqt = false) {
  JpegOptions o;
  o.width = width;
  o.height = height;
  o.seed = seed;
  o.make = make;
  o.model = model;
  o.dqtFirst = dqt;
  return MakeJpeg(o);
}

const SampleCase kCases[] = {
    {"jfif_small", [](testsupport::TempDir&) { return Jpeg(16, 16, 2); }, "JPG", true},
    {"jfif_large", [](testsupport::TempDir&) { return Jpeg(320, 240, 3); }, "JPG", true},
    {"exif_camera", [](testsupport::TempDir&) { return Jpeg(256, 192, 4, "NIKON", "D70"); }, "JPG", true},
    {"jpeg_dqt_first", [](testsupport::TempDir&) { return Jpeg(128, 96, 5, "", "", true); }, "JPG", true},
    {"png", [](testsupport::TempDir&) { return MakePng(120, 90, 6); }, "PNG", true},
    {"png_tiny", [](testsupport::TempDir&) { return MakePng(3, 2, 7); }, "PNG", true},
    {"rar",
     [](testsupport::TempDir&) {
       return MakeRar({{"a.txt", Noise(3000, 1)}, {"b.bin", Noise(700, 2)}});
     },
     "RAR", true},
    {"gzip", [](testsupport::TempDir& d) { return GzipOf(d, 20000); }, "GZ", true, "gzip"},
    {"tar", [](testsupport::TempDir& d) { return TarOf(d, 5000); }, "TAR", true, "tar"},
    {"html", [](testsupport::TempDir&) { return MakeHtml(3000, 8); }, "HTM", false},
};

class AnalyserSize : public ::testing::TestWithParam<SampleCase> {};

// The file at sector `at`, then `tail`, then zeros to the device's end.
testsupport::MemoryDevice Place(const Bytes& file, long long at, const Bytes& tail, std::size_t total) {
  Bytes image(total, 0);
  std::copy(file.begin(), file.end(), image.begin() + at * 512);
  std::copy(tail.begin(), tail.end(), image.begin() + at * 512 + static_cast<long long>(file.size()));
  return testsupport::MemoryDevice(std::move(image));
}

std::size_t ImageSize(const Bytes& file) { return (file.size() / 512 + 200) * 512; }

TEST_P(AnalyserSize, SizeEqualsTheFileWithAZeroTail) {
  const char* tool = GetParam().tool;
  if (tool != nullptr && !testsupport::HaveProgram(tool)) QUARNEL_SKIP_NO_TOOL() << tool << " is not installed";
  testsupport::TempDir dir;
  const Bytes file = GetParam().make(dir);
  ASSERT_FALSE(file.empty()) << "the sample tool failed";
  auto device = Place(file, 3, {}, ImageSize(file));
  const auto files = Files(Carve(&device));
  ASSERT_FALSE(files.empty());
  EXPECT_EQ(files.front().start, 3);
  EXPECT_EQ(files.front().size, static_cast<long long>(file.size()));
  EXPECT_EQ(files.front().name.substr(files.front().name.rfind('.') + 1), GetParam().extension);
}

// Texts end at their first zero tail, so only the other formats are sized
// exactly before garbage.
class AnalyserSizeBeforeGarbage : public AnalyserSize {};

TEST_P(AnalyserSizeBeforeGarbage, SizeEqualsTheFileFollowedByGarbage) {
  const char* tool = GetParam().tool;
  if (tool != nullptr && !testsupport::HaveProgram(tool)) QUARNEL_SKIP_NO_TOOL() << tool << " is not installed";
  testsupport::TempDir dir;
  const Bytes file = GetParam().make(dir);
  ASSERT_FALSE(file.empty()) << "the sample tool failed";
  const std::size_t garbage = 512 - file.size() % 512 + 1024;
  auto device = Place(file, 0, Noise(garbage, 77), ImageSize(file) + 2048);
  const auto files = Files(Carve(&device));
  ASSERT_FALSE(files.empty());
  EXPECT_EQ(files.front().start, 0);
  EXPECT_EQ(files.front().size, static_cast<long long>(file.size()));
}

TEST_P(AnalyserSize, CutAndDamagedCopiesStayInsideTheDevice) {
  const char* tool = GetParam().tool;
  if (tool != nullptr && !testsupport::HaveProgram(tool)) QUARNEL_SKIP_NO_TOOL() << tool << " is not installed";
  testsupport::TempDir dir;
  const Bytes file = GetParam().make(dir);
  ASSERT_FALSE(file.empty()) << "the sample tool failed";
  std::mt19937 rng(11);
  for (int round = 0; round < 12; ++round) {
    const Bytes copy = DamagedCopy(file, round, 12, rng, 6, 8);
    const std::size_t total = ImageSize(file);
    auto device = Place(copy, 1, {}, total);
    for (const Found& f : Files(Carve(&device))) {
      EXPECT_GT(f.size, 0);
      EXPECT_LE(f.start * 512 + f.size, static_cast<long long>(total));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, AnalyserSize, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.label); });

INSTANTIATE_TEST_SUITE_P(Formats, AnalyserSizeBeforeGarbage,
                         ::testing::ValuesIn(CasesWhere(kCases, &SampleCase::exactAfterGarbage)),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
