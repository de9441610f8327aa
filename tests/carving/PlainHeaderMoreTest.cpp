// More plain header formats (CHM, PST, HLP, icns, MRW, ITL, WordPerfect,
// Money, early Word, Photo-Paint, mbox): hand-built minimal files sized
// exactly whatever follows them; damaged headers refused; damaged copies
// stay inside the device.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>

#include "carving/CarvingHarness.h"
#include "carving/FileCHMAnalyser.h"
#include "carving/FileCPTAnalyser.h"
#include "carving/FileEMLXAnalyser.h"
#include "carving/FileHLPAnalyser.h"
#include "carving/FileICNSAnalyser.h"
#include "carving/FileITLAnalyser.h"
#include "carving/FileLowDocAnalyser.h"
#include "carving/FileMNYAnalyser.h"
#include "carving/FileMRWAnalyser.h"
#include "carving/FileMboxAnalyser.h"
#include "carving/FilePSTAnalyser.h"
#include "carving/FileWPDAnalyser.h"
#include "carving/RawFileAnalyserList.h"
#include "carving/Samples.h"
#include "support/MemoryDevice.h"
#include "support/Bytes.h"

using namespace carvingtest;

namespace {

using testsupport::PutBe16;
using testsupport::PutBe32;
using testsupport::PutLe16;
using testsupport::PutLe32;
using testsupport::PutText;

// Fills [from, size) with noise, growing the file to `size`.
void Fill(Bytes& b, std::size_t from, std::size_t size, unsigned seed) {
  if (size <= from) return;
  b.resize(size);
  const Bytes n = Noise(size - from, seed);
  std::copy(n.begin(), n.end(), b.begin() + static_cast<long>(from));
}

const unsigned char kItsfGuid[16] = {0x10, 0xFD, 0x01, 0x7C, 0xAA, 0x7B, 0xD0, 0x11,
                                     0x9E, 0x0C, 0x00, 0xA0, 0xC9, 0x22, 0xE6, 0xEC};

Bytes Chm(std::size_t size) {
  Bytes b(120, 0);
  PutText(b, 0, "ITSF");
  PutLe32(b, 4, 3);
  PutLe32(b, 8, 96);
  std::copy(kItsfGuid, kItsfGuid + 16, b.begin() + 24);
  std::copy(kItsfGuid, kItsfGuid + 16, b.begin() + 40);
  b[40] = 0x11;
  PutLe32(b, 56, 96);
  PutLe32(b, 64, 24);
  PutLe32(b, 96, 510);
  PutLe32(b, 104, static_cast<unsigned>(size));
  Fill(b, 120, size, 61);
  return b;
}

Bytes Pst(unsigned char version, std::size_t size) {
  Bytes b(564, 0);
  PutText(b, 0, "!BDN");
  PutText(b, 8, "SM");
  b[10] = version;
  if (version == 0x17) PutLe32(b, 184, static_cast<unsigned>(size));
  if (version == 0x0E) PutLe32(b, 168, static_cast<unsigned>(size));
  // Larger stores are mostly empty pages.
  Fill(b, 564, std::min<std::size_t>(size, 8192), 62);
  b.resize(std::max(b.size(), size), 0);
  return b;
}

Bytes Hlp(std::size_t size, unsigned directory) {
  Bytes b(16, 0);
  PutLe32(b, 0, 0x00035F3F);
  PutLe32(b, 4, directory);
  PutLe32(b, 8, 0xFFFFFFFF);
  PutLe32(b, 12, static_cast<unsigned>(size));
  Fill(b, 16, size, 63);
  return b;
}

Bytes Icns(std::size_t size) {
  Bytes b;
  PutText(b, 0, "icns");
  PutBe32(b, 4, static_cast<unsigned>(size));
  PutText(b, 8, "ic07");
  PutBe32(b, 12, static_cast<unsigned>(size - 8));
  Fill(b, 16, size, 64);
  return b;
}

// Header blocks of `blocks` bytes after the first 8, then the pixels.
Bytes Mrw(unsigned blocks, unsigned height, unsigned width, unsigned bits) {
  Bytes b(8 + blocks, 0);
  b[1] = 'M';
  b[2] = 'R';
  b[3] = 'M';
  PutBe32(b, 4, blocks);
  b[9] = 'P';
  b[10] = 'R';
  b[11] = 'D';
  PutBe32(b, 12, 24);
  PutText(b, 16, "21810002");
  PutBe16(b, 24, height);
  PutBe16(b, 26, width);
  PutBe16(b, 28, height);
  PutBe16(b, 30, width);
  b[32] = static_cast<std::uint8_t>(bits);
  b[33] = static_cast<std::uint8_t>(bits);
  Fill(b, b.size(), b.size() + height * width * bits / 8, 65);
  return b;
}

Bytes Itl(std::size_t size) {
  Bytes b;
  PutText(b, 0, "hdfm");
  PutBe32(b, 4, 144);
  PutBe32(b, 8, static_cast<unsigned>(size));
  Fill(b, 12, size, 66);
  return b;
}

Bytes Wp(unsigned at8, unsigned at14, std::size_t size) {
  Bytes b(24, 0);
  b[0] = 0xFF;
  PutText(b, 1, "WPC");
  PutLe32(b, 4, 0x200);
  PutLe32(b, 8, at8);
  PutLe32(b, 14, at14);
  PutLe32(b, 20, static_cast<unsigned>(size));
  Fill(b, 24, size, 67);
  return b;
}

// A Money store: a database page with its name; the rest of the megabyte empty.
Bytes Mny() {
  Bytes b(0x100000, 0);
  PutText(b, 0, "MS");
  PutText(b, 4, "MSISAM Database");
  for (std::size_t at = 4096; at < b.size(); at += 4096) PutText(b, at, "page");
  return b;
}

Bytes LowDoc(unsigned textEnd, unsigned extra) {
  Bytes b;
  const unsigned char key[] = {0xDB, 0xA5, 0x2D, 0x00};
  std::copy(key, key + 4, std::back_inserter(b));
  PutLe32(b, 292, textEnd);
  PutLe16(b, 296, extra);
  Fill(b, 512, (textEnd + extra + 511) / 512 * 512, 68);
  return b;
}

// A Photo-Paint image with two objects; the last one's trailer points at
// a (offset, length) pair whose end is the file's end. With `skip`, the
// object carries an extra block of that many bytes before the trailer.
Bytes Cpt(std::size_t size, unsigned skip) {
  Bytes b(1000, 0);
  PutText(b, 0, "CPT9FILE");
  PutLe32(b, 40, 2);
  PutLe32(b, 52, 316);
  PutLe32(b, 316, 400);
  PutLe32(b, 324, 600);
  PutLe32(b, 600 + 32, skip);
  const std::size_t trailer = 660 + (skip != 0 ? skip : 0);
  if (skip != 0) PutLe32(b, 660, skip);
  PutLe32(b, trailer, 900);
  PutLe32(b, trailer + 4, 7);
  PutLe32(b, 892, 950);
  PutLe32(b, 896, static_cast<unsigned>(size - 950));
  Fill(b, 950, size, 69);
  return b;
}

Bytes Mbox(const std::string& ending) {
  std::string t;
  for (int i = 0; i < 30; ++i) {
    t += "From alice@example.org Mon Jan  5 10:0" + std::to_string(i % 10) + ":00 2015\n";
    t += "Subject: note " + std::to_string(i) + "\nTo: <bob@example.net>\n\nA line of the message body.\n\n";
  }
  t += "-- \nAlice\n" + ending;
  return Bytes(t.begin(), t.end());
}

struct MoreCase {
  const char* label;
  std::function<Bytes()> make;
  const char* extension;
};

const MoreCase kCases[] = {
    {"chm", [] { return Chm(3100); }, "CHM"},
    {"pst_unicode", [] { return Pst(0x17, 4100); }, "PST"},
    {"pst_ansi", [] { return Pst(0x0E, 2700); }, "PST"},
    {"pst_other_version", [] { return Pst(0x24, 0x100000); }, "PST"},
    {"hlp", [] { return Hlp(2900, 0x400); }, "HLP"},
    {"icns", [] { return Icns(2222); }, "icns"},
    {"mrw", [] { return Mrw(0x58, 30, 40, 12); }, "MRW"},
    {"itl", [] { return Itl(1900); }, "ITL"},
    {"wpd", [] { return Wp(0x01020A01, 0x00050200, 2600); }, "WPD"},
    {"wpg", [] { return Wp(0x00021601, 0x00030000, 1700); }, "WPG"},
    {"shw", [] { return Wp(0x00010F0F, 0x00030000, 3500); }, "SHW"},
    {"mny", [] { return Mny(); }, "MNY"},
    {"doc_early", [] { return LowDoc(2600, 300); }, "DOC"},
    {"cpt", [] { return Cpt(3000, 0); }, "CPT"},
    {"cpt_extra_block", [] { return Cpt(3000, 40); }, "CPT"},
    {"mbox", [] { return Mbox("--\n\n"); }, "MBOX"},
    {"mbox_blank_lines", [] { return Mbox("--\n\n\n\n"); }, "MBOX"},
    {"mbox_address", [] { return Mbox("Reply: <carol@example.com>\n\n"); }, "MBOX"},
};

void PrintTo(const MoreCase& c, std::ostream* os) { *os << c.label; }

// The file at sector `at`, `tail` right after it (or from the next sector
// boundary when `aligned`), then zeros.
testsupport::MemoryDevice Place(const Bytes& file, long long at, const Bytes& tail, bool aligned = false) {
  const std::size_t tailAt = aligned ? (file.size() + 511) / 512 * 512 : file.size();
  Bytes image((tailAt + tail.size()) / 512 * 512 + static_cast<std::size_t>(at + 40) * 512, 0);
  std::copy(file.begin(), file.end(), image.begin() + at * 512);
  std::copy(tail.begin(), tail.end(), image.begin() + at * 512 + static_cast<long long>(tailAt));
  return testsupport::MemoryDevice(std::move(image));
}

class PlainHeaderMore : public ::testing::TestWithParam<MoreCase> {};

TEST_P(PlainHeaderMore, SizeIsTheFilesWithZerosAfter) {
  const Bytes file = GetParam().make();
  auto device = Place(file, 3, {});
  const auto files = Files(Carve(&device));
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].start, 3);
  EXPECT_EQ(files[0].size, static_cast<long long>(file.size()));
  EXPECT_EQ(files[0].name.substr(files[0].name.rfind('.') + 1), GetParam().extension) << files[0].name;
}

TEST_P(PlainHeaderMore, SizeIsTheFilesWithGarbageAfter) {
  const Bytes file = GetParam().make();
  // A mailbox is closed by a piece that ends in zeros: its last sector's
  // slack is zero and the garbage starts in the next sector.
  const bool mbox = std::string(GetParam().extension) == "MBOX";
  auto device = Place(file, 0, Noise(1500, 7), mbox);
  const auto files = Files(Carve(&device));
  ASSERT_FALSE(files.empty());
  EXPECT_EQ(files[0].start, 0);
  EXPECT_EQ(files[0].size, static_cast<long long>(file.size()));
}

TEST_P(PlainHeaderMore, DamagedCopiesStayInsideTheDevice) {
  const Bytes file = GetParam().make();
  std::mt19937 rng(17);
  for (int round = 0; round < 10; ++round) {
    const Bytes copy =
        DamagedCopy(Bytes(file.begin(), file.begin() + static_cast<long>(std::min<std::size_t>(file.size(), 8192))),
                    round, 10, rng, 8, 4, 320);
    auto device = Place(copy, 1, {});
    const long long total = device.GetTotalSectors() * 512;
    for (const Found& f : Files(Carve(&device))) {
      EXPECT_GT(f.size, 0);
      EXPECT_LE(f.start * 512 + f.size, total);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, PlainHeaderMore, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.label); });

int Accepts(IRawFileAnalyser& analyser, const Bytes& file, CRawFileInfo& probe) {
  Bytes sector(file.begin(), file.begin() + static_cast<long>(std::min<std::size_t>(file.size(), 512)));
  sector.resize(512, 0);
  return analyser.AnalyseBuffer(sector.data(), probe);
}

template <class T>
std::unique_ptr<IRawFileAnalyser> New() {
  return std::make_unique<T>();
}

TEST(PlainHeaderMoreRules, DamagedHeadersAreRefused) {
  struct Row {
    const char* label;
    std::function<std::unique_ptr<IRawFileAnalyser>()> make;
    Bytes file;
  };
  Bytes chmGuid = Chm(3100);
  chmGuid[40] = 0x10;  // the second GUID equal to the first
  Bytes chmSection = Chm(3100);
  PutLe32(chmSection, 96, 511);
  Bytes chmHigh = Chm(3100);
  PutLe32(chmHigh, 112, 1);
  Bytes chmNegative = Chm(3100);
  PutLe32(chmNegative, 108, 0x80000000);
  Bytes pstTiny = Pst(0x17, 4100);
  PutLe32(pstTiny, 184, 0);
  Bytes hlpDirectoryPastEnd = Hlp(2900, 3000);
  Bytes cptOffset = Cpt(3000, 0);
  PutLe32(cptOffset, 52, 320);
  Bytes cptMagic = Cpt(3000, 0);
  PutText(cptMagic, 4, "FILF");
  Bytes mny = Mny();
  mny[10] = 'a';
  Bytes icnsZero = Icns(2222);
  PutBe32(icnsZero, 4, 0);
  Bytes emlxTag;
  PutText(emlxTag, 0, "       905\nX-QQ-FEAT; 1");
  Bytes emlxZero;
  PutText(emlxZero, 0, "         0\nX-QQ-FEAT: 1");
  Bytes emlxNoNumber;
  PutText(emlxNoNumber, 0, "Received: \nX-QQ-FEAT: 1");
  const Row rows[] = {
      {"chm_same_guids", New<FileCHMAnalyser>, chmGuid},
      {"chm_section_tag", New<FileCHMAnalyser>, chmSection},
      {"chm_high_word", New<FileCHMAnalyser>, chmHigh},
      {"chm_negative_size", New<FileCHMAnalyser>, chmNegative},
      {"chm_size_inside_header", New<FileCHMAnalyser>, Chm(100)},
      {"pst_no_end", New<FilePSTAnalyser>, pstTiny},
      {"hlp_under_512", New<FileHLPAnalyser>, Hlp(511, 0x100)},
      {"hlp_directory_past_end", New<FileHLPAnalyser>, hlpDirectoryPastEnd},
      {"icns_zero", New<FileICNSAnalyser>, icnsZero},
      {"icns_over_limit", New<FileICNSAnalyser>, Icns(10905191)},
      {"itl_zero", New<FileITLAnalyser>, Itl(0)},
      {"wpd_pair_mixed", New<FileWPDAnalyser>, Wp(0x01020A01, 0x00030000, 2600)},
      {"wpd_no_size", New<FileWPDAnalyser>, Wp(0x01020A01, 0x00050200, 0)},
      {"mny_other_name", New<FileMNYAnalyser>, mny},
      {"cpt_directory_elsewhere", New<FileCPTAnalyser>, cptOffset},
      {"cpt_no_file_tag", New<FileCPTAnalyser>, cptMagic},
      {"mbox_no_blank", New<FileMboxAnalyser>, Bytes{'F', 'r', 'o', 'm', ':'}},
      {"emlx_no_tag", New<FileEMLXAnalyser>, emlxTag},
      {"emlx_zero_length", New<FileEMLXAnalyser>, emlxZero},
      {"emlx_no_length", New<FileEMLXAnalyser>, emlxNoNumber},
  };
  for (const Row& r : rows) {
    auto analyser = r.make();
    CRawFileInfo probe;
    EXPECT_EQ(Accepts(*analyser, r.file, probe), 0) << r.label;
  }
}

TEST(PlainHeaderMoreRules, EveryByteOfTheHeaderMayBeAnything) {
  // Random headers behind each key: any accepted size is positive.
  const std::function<std::unique_ptr<IRawFileAnalyser>()> makers[] = {
      New<FileCHMAnalyser>,    New<FilePSTAnalyser>, New<FileHLPAnalyser>,  New<FileICNSAnalyser>,
      New<FileMRWAnalyser>,    New<FileITLAnalyser>, New<FileWPDAnalyser>,  New<FileMNYAnalyser>,
      New<FileLowDocAnalyser>, New<FileCPTAnalyser>, New<FileMboxAnalyser>, New<FileEMLXAnalyser>};
  std::mt19937 rng(23);
  for (const auto& make : makers) {
    auto analyser = make();
    for (int round = 0; round < 200; ++round) {
      Bytes sector(512);
      for (auto& b : sector) b = static_cast<std::uint8_t>(rng());
      CRawFileInfo probe;
      if (analyser->AnalyseBuffer(sector.data(), probe) != 0) {
        EXPECT_GE(probe.m_llSize, 0);
      }
    }
    CRawFileInfo probe;
    EXPECT_EQ(analyser->AnalyseBuffer(nullptr, probe), 0);
  }
}

TEST(PlainHeaderMoreRules, StoresOfOtherVersionsAndMoneyFilesAreOneMebibyte) {
  FilePSTAnalyser pst;
  CRawFileInfo probe;
  ASSERT_EQ(Accepts(pst, Pst(0x15, 5000), probe), 1);
  EXPECT_EQ(probe.m_llSize, 0x100000);
  FileMNYAnalyser mny;
  CRawFileInfo money;
  ASSERT_EQ(Accepts(mny, Mny(), money), 1);
  EXPECT_EQ(money.m_llSize, 0x100000);
}

TEST(PlainHeaderMoreRules, PhotoPaintWithoutATrailerEndsAtItsLastObject) {
  Bytes file = Cpt(3000, 0);
  PutLe32(file, 660, 0);  // no trailer pair: the last object's offset is the end
  FileCPTAnalyser analyser;
  CRawFileInfo probe;
  ASSERT_EQ(Accepts(analyser, file, probe), 1);
  EXPECT_EQ(probe.m_eType, 17);
  auto device = Place(file, 2, {});
  CRawFileInfo info;
  info.m_llStartSector = 2;
  EXPECT_TRUE(analyser.GetRawFileSize(info, &device));
  EXPECT_EQ(info.m_llSize, 600);
  // A trailer pointing before the file, or a directory past the device.
  PutLe32(file, 660, 4);
  auto early = Place(file, 2, {});
  EXPECT_TRUE(analyser.GetRawFileSize(info, &early));
  EXPECT_EQ(info.m_llSize, 0);
  PutLe32(file, 40, 0x40000000);
  auto far = Place(file, 2, {});
  EXPECT_FALSE(analyser.GetRawFileSize(info, &far));
  EXPECT_EQ(info.m_llSize, 0);
}

TEST(PlainHeaderMoreRules, MailboxWithoutAnEndRunsToTheDevicesEnd) {
  const Bytes file = Mbox("Alice\n");
  auto device = Place(file, 0, Noise(3000, 9), true);
  FileMboxAnalyser analyser;
  CRawFileInfo info;
  info.m_llStartSector = 0;
  EXPECT_TRUE(analyser.GetRawFileSize(info, &device));
  EXPECT_EQ(info.m_llSize, device.GetTotalSectors() * 512);
}

TEST(PlainHeaderMoreRules, QqMailMessageIsItsLengthAndTrailer) {
  Bytes file;
  PutText(file, 0, "       905\nX-QQ-FEAT: abc\n");
  FileEMLXAnalyser analyser;
  CRawFileInfo probe;
  ASSERT_EQ(Accepts(analyser, file, probe), 1);
  EXPECT_EQ(probe.m_eType, 116);
  EXPECT_EQ(probe.m_llSize, 905 + 402);
  Bytes big;
  PutText(big, 0, "9999999999\nX-QQ-FEAT: abc\n");
  ASSERT_EQ(Accepts(analyser, big, probe), 1);
  EXPECT_EQ(probe.m_llSize, 9999999999LL + 402);
  CRawFileAnalyserListSingle::AnalyserList list;
  CRawFileAnalyserListSingle::CraetePartRawFileAnalyser(116, list);
  ASSERT_EQ(list.size(), 1u);
  CRawFileInfo made;
  EXPECT_EQ(Accepts(*list.front(), file, made), 1);
  EXPECT_EQ(made.m_llSize, 905 + 402);
  for (IRawFileAnalyser* a : list) delete a;
}

}  // namespace
