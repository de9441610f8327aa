// Sizes the format proves: a carved file is exactly as long as the file
// that was written, in zero filler and amid random bytes, back to back with
// the next file, and with an embedded picture whose own end marker is
// followed by zeros.
#include <gtest/gtest.h>

#include <random>

#include "carving/CarvingHarness.h"
#include "carving/DocumentSamples.h"
#include "carving/MediaSamples.h"
#include "carving/Samples.h"
#include "carving/StreamFormatSamples.h"
#include "carving/TiffSamples.h"
#include "support/MemoryDevice.h"
#include "support/TempDir.h"

using namespace carvingtest;

namespace {

constexpr std::size_t kSectors = 4096;

struct Case {
  const char* what;
  Bytes bytes;
  std::string extension;  // the found file's name ends with it
};

Bytes Jpeg(int width, int height, unsigned seed, const char* make = "") {
  JpegOptions o;
  o.width = width;
  o.height = height;
  o.seed = seed;
  o.make = make;
  if (make[0] != '\0') o.model = "Model 1";
  return MakeJpeg(o);
}

// A camera JPEG carrying a whole smaller JPEG and a run of zeros in an
// APP2 segment after its Exif segment, as cameras carry previews.
Bytes JpegWithPreview(unsigned seed) {
  const Bytes outer = Jpeg(320, 240, seed, "NIKON");
  const Bytes preview = Jpeg(64, 48, seed + 1);
  Bytes app = {'P', 'R', 'E', 'V', 0};
  app.insert(app.end(), preview.begin(), preview.end());
  app.resize(app.size() + 700, 0);
  // After SOI and the Exif segment.
  const std::ptrdiff_t cut = 4 + ((outer[4] << 8) | outer[5]);
  Bytes b(outer.begin(), outer.begin() + cut);
  b.insert(b.end(), {0xFF, 0xE2, static_cast<std::uint8_t>((app.size() + 2) >> 8),
                     static_cast<std::uint8_t>((app.size() + 2) & 0xFF)});
  b.insert(b.end(), app.begin(), app.end());
  b.insert(b.end(), outer.begin() + cut, outer.end());
  return b;
}

// A GIF whose sub-block lengths include the introducer bytes '!', ',' and ';'.
Bytes Gif(unsigned seed) {
  Bytes b = {'G', 'I', 'F', '8', '9', 'a', 40, 0, 30, 0, 0xF1, 0, 0};
  for (int i = 0; i < 12; ++i) b.push_back(static_cast<std::uint8_t>(i * 20));
  b.insert(b.end(), {'!', 0xF9, 4, 0, 5, 0, 0, 0});
  b.insert(b.end(), {',', 0, 0, 0, 0, 40, 0, 30, 0, 0, 2});
  std::mt19937 rng(seed);
  for (unsigned length : {0x21u, 0x2Cu, 0x3Bu, 200u, 17u}) {
    b.push_back(static_cast<std::uint8_t>(length));
    for (unsigned k = 0; k < length; ++k) b.push_back(static_cast<std::uint8_t>(rng()));
  }
  b.push_back(0);
  b.push_back(';');
  return b;
}

// Places the files one after another from sector 8, each starting at the
// sector after the previous one's end, in zero or seeded random filler.
testsupport::MemoryDevice Image(const std::vector<Case>& cases, bool random, std::vector<long long>& starts) {
  Bytes image(kSectors * 512, 0);
  if (random) {
    std::mt19937 rng(1234);
    for (auto& byte : image) byte = static_cast<std::uint8_t>(rng());
  }
  long long sector = 8;
  for (const Case& c : cases) {
    starts.push_back(sector);
    std::copy(c.bytes.begin(), c.bytes.end(), image.begin() + sector * 512);
    sector += static_cast<long long>((c.bytes.size() + 511) / 512);
  }
  return testsupport::MemoryDevice(std::move(image));
}

// An MPEG program stream without its end code: its last whole packet ends it.
Bytes MpegWithoutEndCode(unsigned seed) {
  Bytes m = MakeMpegPs(90, seed);
  m.resize(m.size() - 4);
  return m;
}

std::vector<Case> Cases() {
  return {
      {"jpeg_plain", Jpeg(200, 150, 3), ".JPG"},
      {"jpeg_tiny", Jpeg(8, 8, 4), ".JPG"},
      {"jpeg_camera", Jpeg(400, 300, 5, "Canon"), ".JPG"},
      {"jpeg_with_preview", JpegWithPreview(6), ".JPG"},
      {"gif_lengths_like_introducers", Gif(7), ".GIF"},
      {"html", MakeHtml(3000, 8), ".HTM"},
      {"jpeg_after_html", Jpeg(96, 64, 9), ".JPG"},
      {"mp3_after_id3v2_tag", Concat({Id3v2("Some Artist", "Some Title"), Mp3Frames(60, 10)}), ".MP3"},
      {"rtf", MakeRtf(3000, 11), ".RTF"},
      {"svg", MakeSvg(4000, 12), ".SVG"},
      {"mpeg_ps_without_end_code", MpegWithoutEndCode(13), ".MPG"},
      {"mpeg_ps", MakeMpegPs(90, 14), ".MPG"},
      {"pdf_small", MakePdf(PdfOptions{}), ".PDF"},
      {"tiff_plain", MakeTiff(TiffOptions{}), ".TIF"},
  };
}

void ExpectExactSizes(bool random) {
  const std::vector<Case> cases = Cases();
  std::vector<long long> starts;
  auto device = Image(cases, random, starts);
  const std::vector<Found> files = Files(Carve(&device));
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Found* hit = nullptr;
    for (const Found& f : files) {
      if (f.start == starts[i]) hit = &f;
    }
    ASSERT_NE(hit, nullptr) << cases[i].what;
    EXPECT_EQ(hit->size, static_cast<long long>(cases[i].bytes.size())) << cases[i].what;
    const std::string& name = hit->name;
    EXPECT_EQ(name.substr(name.size() - 4), cases[i].extension) << cases[i].what << " " << name;
  }
}

TEST(ExactSize, FilesBackToBackInZeroFiller) { ExpectExactSizes(false); }

TEST(ExactSize, FilesBackToBackAmidRandomBytes) { ExpectExactSizes(true); }

// The member headers inside a tar archive start sectors with "ustar" too;
// they are parts of the archive, not archives of their own.
TEST(ExactSize, ArchiveMemberHeadersAreNoArchivesOfTheirOwn) {
  testsupport::TempDir dir;
  const std::string d = dir.Path().string();
  WriteAll(d + "/one.txt", Noise(3000, 21, true));
  WriteAll(d + "/two.bin", Noise(700, 22));
  WriteAll(d + "/three.txt", Noise(5000, 23, true));
  const Bytes tar = RunAndRead(
      "tar --sort=name --mtime=@0 --owner=0 --group=0 -cf '" + d + "/a.tar' -C '" + d + "' one.txt two.bin three.txt",
      d + "/a.tar");
  ASSERT_FALSE(tar.empty());
  std::vector<long long> starts;
  auto device = Image({{"tar", tar, ".TAR"}}, true, starts);
  const std::vector<Found> files = Files(Carve(&device));
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].start, starts[0]);
  EXPECT_EQ(files[0].size, static_cast<long long>(tar.size()));
}

}  // namespace
