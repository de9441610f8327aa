// A carved file whose format marks no end (its size is a cap or the start
// of zero fill) stops where the next file found begins; a file whose size
// the format proves keeps it, whatever signatures its contents carry.
#include <gtest/gtest.h>

#include <random>

#include "carving/CarvingHarness.h"
#include "carving/DocumentSamples.h"
#include "carving/Samples.h"
#include "carving/StreamFormatSamples.h"
#include "support/MemoryDevice.h"
#include "support/TempDir.h"

using namespace carvingtest;

namespace {

constexpr std::size_t kSectors = 6144;

struct Piece {
  Bytes bytes;
  long long sector;  // where it is written
};

// Seeded random filler (or zeros) with the pieces written over it.
testsupport::MemoryDevice Image(const std::vector<Piece>& pieces, bool random) {
  Bytes image(kSectors * 512, 0);
  if (random) {
    std::mt19937 rng(4321);
    for (auto& byte : image) byte = static_cast<std::uint8_t>(rng());
  }
  for (const Piece& p : pieces) std::copy(p.bytes.begin(), p.bytes.end(), image.begin() + p.sector * 512);
  return testsupport::MemoryDevice(std::move(image));
}

const Found* At(const std::vector<Found>& files, long long sector) {
  for (const Found& f : files) {
    if (f.start == sector) return &f;
  }
  return nullptr;
}

long long Sectors(const Bytes& b) { return static_cast<long long>((b.size() + 511) / 512); }

// An HTML page cut before its closing tag: nothing marks its end.
Bytes HtmlWithoutEnd(std::size_t bytes, unsigned seed) {
  Bytes h = MakeHtml(bytes, seed);
  h.resize(h.size() - 16);
  return h;
}

struct Case {
  const char* what;
  Bytes first;   // its end is a guess
  Bytes second;  // starts right after the first one's last sector
  std::string secondExtension;
};

std::vector<Case> Cases() {
  JpegOptions jpeg;
  jpeg.width = 160;
  jpeg.height = 120;
  jpeg.seed = 5;
  return {
      {"text eps then jpeg", MakeEpsText(9000, 3), MakeJpeg(jpeg), ".JPG"},
      {"html without closing tag then png", HtmlWithoutEnd(7000, 4), MakePng(40, 30, 6), ".PNG"},
  };
}

// Amid random bytes no zero fill ends the first file: the second file's
// start does.
TEST(NextFileStart, AGuessedEndStopsAtTheNextFileAmidRandomBytes) {
  for (const Case& c : Cases()) {
    const long long first = 16;
    const long long second = first + Sectors(c.first);
    auto device = Image({{c.first, first}, {c.second, second}}, true);
    const std::vector<Found> files = Files(Carve(&device));
    const Found* a = At(files, first);
    const Found* b = At(files, second);
    ASSERT_NE(a, nullptr) << c.what;
    ASSERT_NE(b, nullptr) << c.what;
    EXPECT_EQ(a->size, (second - first) * 512) << c.what;
    EXPECT_EQ(b->size, static_cast<long long>(c.second.size())) << c.what;
    EXPECT_EQ(b->name.substr(b->name.size() - 4), c.secondExtension) << c.what << " " << b->name;
  }
}

// A mailbox read back through the device runs, amid random bytes, to the
// device's end: the picture that the sweep finds after the mailbox was
// sized still ends it.
TEST(NextFileStart, AGuessedEndReadBackStopsAtAFileFoundLater) {
  std::string text;
  for (int i = 0; text.size() < 20000; ++i) {
    text += "From sender" + std::to_string(i) + " Mon Jan  4 10:00:00 2021\nSubject: note " + std::to_string(i) +
            "\n\nsome words of the message body, line " + std::to_string(i) + "\n\n";
  }
  const Bytes mbox(text.begin(), text.end());
  JpegOptions o;
  o.seed = 12;
  const Bytes jpeg = MakeJpeg(o);
  const long long first = 16;
  // Far past the 20 blocks of 16 sectors the searcher keeps: the mailbox is
  // sized long before the sweep reaches the picture.
  const long long second = first + 900;
  auto device = Image({{mbox, first}, {jpeg, second}}, true);
  const std::vector<Found> files = Files(Carve(&device, 16));
  const Found* a = At(files, first);
  const Found* b = At(files, second);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(a->size, (second - first) * 512);
  EXPECT_EQ(b->size, static_cast<long long>(jpeg.size()));
}

// In zero filler the zero fill still ends the first file where its bytes
// end; the next file's start, further on, changes nothing.
TEST(NextFileStart, ZeroFillStillEndsAFileBeforeTheNextOne) {
  const Bytes eps = MakeEpsText(9000, 7);
  const Bytes png = MakePng(40, 30, 8);
  const long long first = 16;
  const long long second = first + Sectors(eps) + 4;
  auto device = Image({{eps, first}, {png, second}}, false);
  const std::vector<Found> files = Files(Carve(&device));
  const Found* a = At(files, first);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->size, static_cast<long long>(eps.size()));
}

// A stored ZIP whose member is a whole JPEG starting on a sector boundary:
// the archive's end record proves its size, the picture inside does not
// cut it.
TEST(NextFileStart, AProvenSizeIsNotCutByASignatureInside) {
  JpegOptions o;
  o.width = 96;
  o.height = 64;
  o.seed = 9;
  const Bytes jpeg = MakeJpeg(o);
  testsupport::TempDir dir;
  WriteAll(dir.File("member.jpg"), jpeg);
  WriteAll(dir.File("tail.bin"), Noise(3000, 10));
  // A local header is 30 bytes and the name: a 482-byte name puts the
  // member's data at byte 512.
  const std::string py =
      "import sys, zipfile\n"
      "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_STORED) as z:\n"
      "    z.writestr(zipfile.ZipInfo('p' * 478 + '.jpg', (2021, 2, 3, 4, 5, 6)), open(sys.argv[2], 'rb').read())\n"
      "    z.writestr(zipfile.ZipInfo('tail.bin', (2021, 2, 3, 4, 5, 6)), open(sys.argv[3], 'rb').read())\n";
  WriteAll(dir.File("zip.py"), Bytes(py.begin(), py.end()));
  const Bytes zip = RunAndRead("python3 '" + dir.File("zip.py") + "' '" + dir.File("a.zip") + "' '" +
                                   dir.File("member.jpg") + "' '" + dir.File("tail.bin") + "'",
                               dir.File("a.zip"));
  ASSERT_GT(zip.size(), 512u + jpeg.size());
  ASSERT_TRUE(std::equal(jpeg.begin(), jpeg.end(), zip.begin() + 512));
  const Bytes eps = MakeEpsText(5000, 11);
  const long long first = 16;
  const long long second = first + Sectors(zip);
  for (bool random : {false, true}) {
    auto device = Image({{zip, first}, {eps, second}}, random);
    const std::vector<Found> files = Files(Carve(&device));
    const Found* a = At(files, first);
    ASSERT_NE(a, nullptr) << random;
    EXPECT_EQ(a->size, static_cast<long long>(zip.size())) << random;
    EXPECT_EQ(a->name.substr(a->name.size() - 4), ".ZIP") << random << " " << a->name;
  }
}

}  // namespace
