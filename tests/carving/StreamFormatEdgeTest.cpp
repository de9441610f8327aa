// Edge cases of the streaming analysers of media, drawings and databases.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "carving/CarvingHarness.h"
#include "carving/StreamFormatSamples.h"
#include "carving/X3fAnalyser.h"
#include "support/MemoryDevice.h"
#include "support/TempDir.h"

using namespace carvingtest;

namespace {

std::string Extension(const Found& f) { return f.name.substr(f.name.rfind('.') + 1); }

void Put(Bytes& image, const Bytes& file, long long sector) {
  std::copy(file.begin(), file.end(), image.begin() + sector * 512);
}

TEST(OggCarving, TwoStreamsApartAreTwoFinds) {
  const Bytes a = MakeOgg({40, 3000, 500}, 1);
  const Bytes b = MakeOgg({60, 9000, 20}, 2);
  Bytes image(512 * 80, 0);
  Put(image, a, 2);
  Put(image, b, 40);
  testsupport::MemoryDevice device(image);
  const auto files = Files(Carve(&device));
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0].start, 2);
  EXPECT_EQ(files[0].size, static_cast<long long>(a.size()));
  EXPECT_EQ(files[1].start, 40);
  EXPECT_EQ(files[1].size, static_cast<long long>(b.size()));
}

TEST(OggCarving, AStreamLeftOpenAtTheEndDoesNotHoldBackTheNextScan) {
  // The stream runs to the last byte of the device, so the sweep never
  // closes it; the next scan must find it again.
  Bytes file = MakeOgg({100, 4000}, 3);
  std::size_t want = 512 - file.size() % 512;
  if (want < 64) want += 512;
  std::size_t body = 0;
  while (27 + body / 255 + 1 + body < want) ++body;
  Bytes more = MakeOgg({body}, 4);
  if (more.size() != want) more = MakeOgg({body - 1}, 4);
  file.insert(file.end(), more.begin(), more.end());
  ASSERT_EQ(file.size() % 512, 0u);
  Bytes image(512 * 4 + file.size(), 0);
  Put(image, file, 4);
  testsupport::MemoryDevice device(image);
  const auto first = Files(Carve(&device));
  const auto second = Files(Carve(&device));
  ASSERT_EQ(first.size(), 1u);
  ASSERT_EQ(second.size(), 1u);
  EXPECT_EQ(first[0].size, static_cast<long long>(file.size()));
  EXPECT_EQ(second[0].size, first[0].size);
  EXPECT_EQ(Extension(second[0]), "OGG");
}

TEST(SqliteCarving, PagesOf512BytesAreNotAccepted) {
  testsupport::TempDir dir;
  const Bytes db = MakeSqlite(dir.Path().string(), 30, 512);
  ASSERT_FALSE(db.empty());
  Bytes image(db.size() + 512 * 40, 0);
  Put(image, db, 1);
  testsupport::MemoryDevice device(image);
  for (const Found& f : Files(Carve(&device))) EXPECT_NE(Extension(f), "FCPEVENT");
}

TEST(SqliteCarving, TwoDatabasesBackToBackAreSizedApart) {
  testsupport::TempDir dir;
  const Bytes a = MakeSqlite(dir.Path().string(), 200, 4096);
  ASSERT_FALSE(a.empty());
  testsupport::TempDir dir2;
  const Bytes b = MakeSqlite(dir2.Path().string(), 50, 1024);
  ASSERT_FALSE(b.empty());
  Bytes image(a.size() + b.size() + 512 * 60, 0);
  Put(image, a, 0);
  Put(image, b, static_cast<long long>(a.size() / 512));
  testsupport::MemoryDevice device(image);
  const auto files = Files(Carve(&device));
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0].size, static_cast<long long>(a.size()));
  EXPECT_EQ(files[1].size, static_cast<long long>(b.size()));
}

// The header's page count, current as the change counter shows, proves
// the size: random bytes after the database that look like a table page do
// not lengthen it, and a database split in two still gets its size.
TEST(SqliteCarving, TheSizeIsTheOneTheHeaderStates) {
  testsupport::TempDir dir;
  const Bytes db = MakeSqlite(dir.Path().string(), 300, 4096);
  ASSERT_GT(db.size(), 3u * 4096);
  const long long half = static_cast<long long>(db.size() / 2 / 4096 * 4096);
  struct Layout {
    const char* what;
    long long gap;  // random sectors between the two halves
  };
  for (const Layout& l : {Layout{"whole", 0}, Layout{"split", 24}}) {
    std::mt19937 rng(55);
    Bytes image(db.size() + 512 * 200, 0);
    for (auto& byte : image) byte = static_cast<std::uint8_t>(rng());
    Put(image, Bytes(db.begin(), db.begin() + half), 8);
    const long long rest = 8 + half / 512 + l.gap;
    Put(image, Bytes(db.begin() + half, db.end()), rest);
    image[(rest * 512) + (db.size() - half)] = 0x0D;  // a leaf table page, to the page walk
    testsupport::MemoryDevice device(image);
    const Found* hit = nullptr;
    const auto files = Files(Carve(&device));
    for (const Found& f : files) {
      if (f.start == 8) hit = &f;
    }
    ASSERT_NE(hit, nullptr) << l.what;
    EXPECT_EQ(hit->size, static_cast<long long>(db.size())) << l.what;
  }
}

TEST(SqliteCarving, AnAddressBookDatabaseIsTypedByItsRecords) {
  testsupport::TempDir dir;
  const std::string path = dir.File("book.abcddb");
  const std::string script =
      "import sqlite3,sys\n"
      "c=sqlite3.connect(sys.argv[1])\n"
      "c.execute('PRAGMA page_size=1024')\n"
      "c.execute('CREATE TABLE ZABCDRECORD(ZNAME TEXT)')\n"
      "for i in range(60):\n"
      "  c.execute('INSERT INTO ZABCDRECORD VALUES(?)',('ABCDRecord-%017d'%i,))\n"
      "c.commit()\n"
      "c.close()\n";
  WriteAll(dir.File("make.py"), Bytes(script.begin(), script.end()));
  const Bytes db = RunAndRead("python3 '" + dir.File("make.py") + "' '" + path + "'", path);
  ASSERT_FALSE(db.empty());
  Bytes image(db.size() + 512 * 40, 0);
  Put(image, db, 2);
  testsupport::MemoryDevice device(image);
  const auto files = Files(Carve(&device));
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(Extension(files[0]), "ABCDDB");
  EXPECT_EQ(files[0].size, static_cast<long long>(db.size()));
}

TEST(MlvCarving, ZeroFillInsideAFrameDoesNotCutTheFile) {
  Bytes file = MakeMlv({1500, 3000, 800}, 7);
  // The first frame's data cover bytes 1024..1535: end that sector in zeros.
  std::fill(file.begin() + 1520, file.begin() + 1536, 0);
  Bytes image(file.size() + 512 * 30, 0);
  Put(image, file, 1);
  testsupport::MemoryDevice device(image);
  const auto files = Files(Carve(&device));
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].size, static_cast<long long>(file.size()));
}

TEST(X3fCarving, TheReaderKeepsADirectoryThatStartsAtASectorsEnd) {
  const Bytes file = MakeX3f(3 * 512 + 508 + 76, 8);
  ASSERT_EQ(std::string(file.end() - 76, file.end() - 72), "SECd");
  Bytes image(file.size() + 512 * 10, 0);
  Put(image, file, 2);
  testsupport::MemoryDevice device(image);
  FileX3FAnalyser reader;
  CRawFileInfo info;
  info.m_llStartSector = 2;
  ASSERT_TRUE(reader.GetRawFileSize(info, &device));
  EXPECT_EQ(info.m_llSize, static_cast<long long>(file.size()));
}

TEST(DxfCarving, AnEndMarkerCutBySectorsIsFound) {
  Bytes base = MakeDxf(30, true);
  // Pad the header so that "  0\r\nEOF\r\n" starts 4 bytes before a sector end.
  const std::size_t markerAt = base.size() - 10;
  const std::size_t pad = (508 + 512 - markerAt % 512) % 512;
  const std::string filler = "  9\r\n$PAD\r\n  1\r\n" + std::string(pad + 512, 'x') + "\r\n";
  const std::string text(base.begin(), base.end());
  const std::size_t at = text.find("  0\r\nENDSEC");
  const std::string padded = text.substr(0, at) + filler + text.substr(at);
  // Trim the filler so the marker lands where wanted.
  const std::size_t over =
      (padded.size() - 10) % 512 >= 508 ? (padded.size() - 10) % 512 - 508 : (padded.size() - 10) % 512 + 4;
  std::string fixed = padded;
  fixed.erase(at + 20, over);
  ASSERT_EQ((fixed.size() - 10) % 512, 508u);
  const Bytes file(fixed.begin(), fixed.end());
  Bytes image(file.size() + 512 * 20, 0);
  Put(image, file, 0);
  const Bytes garbage = Noise(900, 9);
  std::copy(garbage.begin(), garbage.end(), image.begin() + static_cast<long>(file.size()));
  testsupport::MemoryDevice device(image);
  const auto files = Files(Carve(&device));
  ASSERT_FALSE(files.empty());
  EXPECT_EQ(files[0].size, static_cast<long long>(file.size()));
  EXPECT_EQ(Extension(files[0]), "DXF");
}

TEST(MpegCarving, PacksInsideAStreamArePartsOfIt) {
  // A pack header that begins a sector inside the stream is no file of its
  // own: the stream is found once, whole.
  Bytes file = MakeMpegPs(3, 5);
  const std::size_t fill = 512 - file.size() % 512;
  ASSERT_GT(fill, 8u);
  file.resize(file.size() - 4);  // drop the end code
  Bytes pes{0, 0, 1, 0xE0, static_cast<std::uint8_t>((fill - 2) >> 8), static_cast<std::uint8_t>(fill - 2)};
  pes.resize(fill + 4, 0x55);
  file.insert(file.end(), pes.begin(), pes.end());
  ASSERT_EQ(file.size() % 512, 0u);
  const Bytes tail = MakeMpegPs(2, 6);
  file.insert(file.end(), tail.begin(), tail.end());
  Bytes image(file.size() + 512 * 20, 0);
  Put(image, file, 0);
  testsupport::MemoryDevice device(image);
  const auto files = Files(Carve(&device));
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].start, 0);
  EXPECT_EQ(files[0].size, static_cast<long long>(file.size()));
  EXPECT_EQ(Extension(files[0]), "MPG");
}

}  // namespace

namespace {

// Sectors that begin with a carved signature and go on with noise, zeros
// or small integers are refused or sized inside the device.
TEST(StreamSignatures, RandomBodiesAfterEverySignatureStayInsideTheDevice) {
  const std::vector<Bytes> heads = {
      {'G', 'I', 'F', '8', '9', 'a'},
      {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f', 'o', 'r', 'm', 'a', 't', ' ', '3', 0, 0x10, 0},
      {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 2},
      {'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0},
      {'{', '\\', 'r', 't', 'f'},
      {'O', 'g', 'g', 'S'},
      {'F', 'L', 'V', 1, 5, 0, 0, 0, 9, 0, 0, 0, 0},
      {0, 0, 1, 0xBA, 0x44, 0, 4, 0},
      {0, 0, 1, 0xB3, 0x21, 0, 1, 0},
      {'<', '?', 'x', 'm', 'l', ' '},
      {0xCD, 0x01, 0x00, 0x00},
      {' ', ' ', '0', '\r', '\n', 'S', 'E', 'C', 'T', 'I', 'O', 'N', '\r', '\n', ' ', ' '},
      {'%', '!', 'P', 'S', '-', 'A', 'd', 'o', 'b', 'e', '-'},
      {0xC5, 0xD0, 0xD3, 0xC6},
      {'A', 'C', '1', '0', '1', '5'},
      {'A', 'C', '1', '0', '1', '8'},
      {0, 1, 0, 0, 'S', 't', 'a', 'n', 'd', 'a', 'r', 'd', ' ', 'J', 'e', 't', ' ', 'D', 'B', 0},
      {0x20, 0x00, '-', 'l', 'h', '5', '-'},
      {'B', 'Z', 'h', '1', '1', 'A', 'Y', '&', 'S', 'Y'},
      {'F', 'O', 'V', 'b'},
      {'I', 'I', 0x1A, 0, 0, 0, 'H', 'E', 'A', 'P', 'C', 'C', 'D', 'R', 2},
      {'J', 'M', 'F', '6', 3, 0, 1, 0},
      {'R', 'I', 'F', 'X', 0, 0, 0x10, 0, 'E', 'g', 'g', '!'},
      {'-', 'i', 'n', '-'},
      {'.', 'R', 'M', 'F', 0, 0, 0, 18},
      {'S', 't', 'u', 'f', 'f', 'I', 't', '!'},
      {'S', 't', 'u', 'f', 'f', 'I', 't', ' '},
      {'M', 'L', 'V', 'I', 52, 0, 0, 0},
      {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05, 0x01, 0x01},
      {0xE4, 0x52, 0x5C, 0x7B, 0x8C, 0xD8, 0xA7, 0x4D, 0xAE, 0xB1, 0x53, 0x78, 0xD0, 0x29, 0x96, 0xD3},
      {'M', 'M', 0x10, 0, 0, 0},
      {0xFE, 0xED, 0xFE, 0xED},
      {'P', 'W', 'S', '3'},
      {0x77, 0x70, 0x67, 0x00}};
  std::mt19937 rng(99);
  for (const Bytes& head : heads) {
    for (int round = 0; round < 4; ++round) {
      Bytes image(512 * 64, 0);
      for (int s = 0; s < 64; s += 8 + static_cast<int>(rng() % 9)) {
        auto at = image.begin() + s * 512;
        std::copy(head.begin(), head.end(), at);
        const std::size_t body = 32 + rng() % 3000;
        for (std::size_t k = head.size(); k < body && s * 512 + k < image.size(); ++k) {
          const unsigned r = rng();
          image[s * 512 + k] = static_cast<std::uint8_t>(round == 0   ? r
                                                         : round == 1 ? r % 4
                                                         : round == 2 ? (r % 7 == 0 ? r : 0)
                                                                      : r % 64);
        }
      }
      testsupport::MemoryDevice device(image);
      for (const Found& f : Files(Carve(&device, 16))) {
        EXPECT_GT(f.size, 0);
        EXPECT_LE(f.start * 512 + f.size, static_cast<long long>(image.size()));
      }
    }
  }
}

}  // namespace
