// The rules inside the document analysers: directory typing, property-set
// bounds, member-name typing, PDF information text and xar tables of
// contents, with damaged input that must be refused without a hang.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstring>

#include "carving/DocumentSamples.h"
#include "carving/FileOLEAnalyser.h"
#include "carving/FilePDFAnalyser.h"
#include "carving/FilePKGAnalyser.h"
#include "carving/FileZIPAnalyser.h"
#include "carving/OfficeTagFromXML.h"
#include "carving/PdfAnalyzer.h"
#include "carving/PdfTitleAnalyzer.h"
#include "carving/SummaryInformation.h"
#include "carving/ZipSearch.h"
#include "core/util/ByteView.h"
#include "support/MemoryDevice.h"

using namespace carvingtest;

namespace {

Bytes Directory(const std::vector<std::string>& names, bool zeroRootClsid = true) {
  Bytes d(1024, 0);
  for (std::size_t e = 0; e < names.size() && e < 8; ++e) {
    for (std::size_t i = 0; i < names[e].size(); ++i) {
      ByteWriter(d).PutU16Le(e * 128 + 2 * i, static_cast<unsigned char>(names[e][i]));
    }
  }
  if (!zeroRootClsid) d[0x50] = 0x11;
  return d;
}

struct DirCase {
  std::vector<std::string> names;
  bool zeroClsid;
  int type;
};

TEST(OleDirectory, TheLastMatchingRuleDecidesTheType) {
  const std::string summary = std::string("\x05") + "SummaryInformation";
  const DirCase cases[] = {
      {{"Root Entry", "Contents"}, true, 41},
      {{"Root Entry", "Data", "1Table", "WordDocument"}, true, 23},
      {{"Root Entry", "Workbook", "x", "WordDocument"}, true, 71},
      {{"Root Entry", "x", "Book"}, true, 71},
      {{"Root Entry", "x", "y", "PowerPoint Document"}, true, 52},
      {{"Root Entry", "Scene"}, true, 37},
      {{"Root Entry", "VisioDocument"}, true, 66},
      {{"Root Entry", "PerfectOffice_MAIN", "PerfectOffice_OBJECTS", summary}, true, 61},
      {{"Root Entry", "PerfectOffice_MAIN", "PerfectOffice_OBJECTS", "x"}, true, 69},
      {{"Root Entry", "PerfectOffice_MAIN", "PerfectOffice_OBJECTS", "x"}, false, 68},
      {{"Root Entry", "RSeStorage", "x", "RSeEmbeddings"}, true, 140},
      {{"Root Entry", "Objects", "Quill", "QuillSub"}, true, 53},
      {{"Root Entry", "NativeContent_MAIN"}, true, 57},
      {{"Root Entry", "properties"}, true, 141},
      {{"Root Entry", std::string("\x01") + "CompObj", "   112", "   212"}, true, 47},
      {{"Root Entry", "VBA", "VBAProject", "VBA"}, true, 3},
  };
  for (const DirCase& c : cases) {
    const Bytes d = Directory(c.names, c.zeroClsid);
    CRawFileInfo info;
    EXPECT_EQ(FileOLEAnalyser::CheckSectDirData(d.data(), static_cast<int>(d.size()), info), c.type) << c.names[1];
    EXPECT_EQ(info.m_eType, c.type);
  }
}

TEST(OleSummary, ThirtyOnePropertiesAreReadThirtyTwoAreRefused) {
  OleOptions o;
  o.created = 132000000000000000ULL;
  const int base = 4;  // title, author, last author, created
  for (int extra : {31 - base, 32 - base}) {
    const Bytes s = MakeSummary(o, extra);
    FileProperty p;
    CSummaryInFormation reader;
    EXPECT_EQ(reader.GetFileInformation(s.data(), p, static_cast<int>(s.size())), base + extra <= 31) << extra;
  }
}

TEST(OleSummary, ValuesOutsideTheBufferAreNotRead) {
  OleOptions o;
  Bytes s = MakeSummary(o);
  // The first value's offset points past the end; the count past the pairs.
  ByteWriter(s).PutU32Le(48 + 12, 0x7FFFFFF0);
  FileProperty p;
  CSummaryInFormation reader;
  EXPECT_TRUE(reader.GetFileInformation(s.data(), p, static_cast<int>(s.size())));
  EXPECT_TRUE(p[kSummaryTitle].empty());
  EXPECT_EQ(p[kSummaryAuthor], "Alice");
  ByteWriter(s).PutU32Le(48 + 4, 30);
  FileProperty q;
  EXPECT_FALSE(reader.GetFileInformation(s.data(), q, 200));
}

TEST(OleSummary, TextsAreTrimmedConvertedAndTimesDashed) {
  std::string t = "   A very long document title indeed";
  CSummaryInFormation::OperateString(t);
  EXPECT_EQ(t, "A very long document tit");
  EXPECT_EQ(CSummaryInFormation::FilterFileTime(":12:30:00"), ":12-30-00");
  EXPECT_EQ(CSummaryInFormation::FileTimeText(0), "");
  OleOptions o;
  o.title = "\xC4\xE3\xBA\xC3";  // GBK, not UTF-8
  const Bytes s = MakeSummary(o);
  FileProperty p;
  CSummaryInFormation reader;
  ASSERT_TRUE(reader.GetFileInformation(s.data(), p, static_cast<int>(s.size())));
  EXPECT_EQ(p[kSummaryTitle], "\xE4\xBD\xA0\xE5\xA5\xBD");
}

// 8-bit texts follow the property set's code page; without one, UTF-8
// stays and other bytes are read as GBK.
TEST(OleSummary, EightBitTextsFollowTheCodePage) {
  struct Case {
    int codePage;
    const char* stored;
    const char* expected;
  };
  const Case cases[] = {
      {1252, "Pr\xE4sentation", "Pr\xC3\xA4sentation"},      {1251, "\xCF\xF0\xE8", "\xD0\x9F\xD1\x80\xD0\xB8"},
      {936, "\xC4\xE3\xBA\xC3", "\xE4\xBD\xA0\xE5\xA5\xBD"}, {65001, "Gr\xC3\xBC\xC3\x9F", "Gr\xC3\xBC\xC3\x9F"},
      {0, "Gr\xC3\xBC\xC3\x9F", "Gr\xC3\xBC\xC3\x9F"},
  };
  for (const Case& c : cases) {
    OleOptions o;
    o.codePage = c.codePage;
    o.title = c.stored;
    const Bytes s = MakeSummary(o);
    FileProperty p;
    CSummaryInFormation reader;
    ASSERT_TRUE(reader.GetFileInformation(s.data(), p, static_cast<int>(s.size()))) << c.codePage;
    EXPECT_EQ(p[kSummaryTitle], c.expected) << c.codePage;
    EXPECT_EQ(p[kSummaryAuthor], "Alice") << c.codePage;
  }
}

// Damaged allocation structures are refused by the device reader at once.
TEST(OleWalkTest, LoopsAndWildNumbersAreRefused) {
  OleOptions o;
  o.difatSector = true;
  o.fatAtEnd = true;
  o.payload = 80000;
  const Bytes good = MakeOle(o);
  const ByteView h(good.data(), good.size());
  const std::uint32_t difat = h.U32Le(0x44);
  struct Damage {
    const char* what;
    std::function<void(Bytes&)> apply;
  };
  const Damage damages[] = {
      {"difat_points_to_itself", [difat](Bytes& b) { ByteWriter(b).PutU32Le((difat + 1) * 512 + 127 * 4, difat); }},
      {"fat_sector_far_away", [](Bytes& b) { ByteWriter(b).PutU32Le(0x4C, 0x7FFFFFF0); }},
      {"directory_far_away", [](Bytes& b) { ByteWriter(b).PutU32Le(0x30, 0x00FFFFFF); }},
      {"bad_sector_shift", [](Bytes& b) { ByteWriter(b).PutU16Le(0x1E, 20); }},
  };
  for (const Damage& d : damages) {
    Bytes bad = good;
    d.apply(bad);
    Bytes image(bad.size() + 64 * 512, 0);
    std::copy(bad.begin(), bad.end(), image.begin());
    testsupport::MemoryDevice device(std::move(image));
    FileOLEAnalyser ole;
    std::unique_ptr<CRawFileInfo> info(ole.CreateRawFileInfo());
    EXPECT_FALSE(ole.GetRawFileSize(*info, &device)) << d.what;
    EXPECT_EQ(info->m_llSize, 0) << d.what;
  }
}

struct NameCase {
  std::string name;
  std::string data;
  bool office;
  int type;
};

TEST(ZipNames, MemberNamesAndStoredContentsDecideTheSubType) {
  const NameCase cases[] = {
      {"word/_rels/document.xml.rels", "", true, 73},
      {"xl/_rels/workbook.xml.rels", "", true, 74},
      {"ppt/_rels/presentation.xml.rels", "", true, 75},
      {"word/styles.xml", "", true, 73},
      {"word/styles.xml", "", false, 72},
      {"mimetype", "application/vnd.oasis.opendocument.text", false, 123},
      {"mimetype", "application/vnd.oasis.opendocument.spreadsheet", false, 124},
      {"mimetype", "application/epub+zip", false, 114},
      {"OEBPS/Text/chapter1.xhtml", "", false, 114},
      {"0a1b2c3d-1111-2222-3333-444455556666", "", false, 145},
      {"Index/Slide1.iwa", "", false, 111},
      {"buildVersionHistory.plist", "<array><string>pages-trunk-1</string>", false, 110},
      {"buildVersionHistory.plist", "<array><string>numbers-trunk-1</string>", false, 112},
      {"Accounts/Outlook/x", "", true, 120},
  };
  for (const NameCase& c : cases) {
    const ByteView data(c.data.data(), c.data.size());
    EXPECT_EQ(classZipSearch::LocalNameType(c.name, data, c.office, 72), c.type) << c.name;
  }
  EXPECT_TRUE(classZipSearch::JudgeMaybeOfficeType("[Content_Types].xml"));
  EXPECT_FALSE(classZipSearch::JudgeMaybeOfficeType("mimetype"));
}

TEST(ZipOffice, CorePropertiesTimesAndBounds) {
  EXPECT_EQ(Kalder::OfficeTagFromXML::FilterFileTime("2021-02-03T04:05:06Z"), "2021-02-03 04-05-06 ");
  FileProperty p;
  EXPECT_TRUE(Kalder::OfficeTagFromXML::AnalyzeTag(CoreXml("T", "A", "L", "2021-02-03T04:05:06Z"), p));
  EXPECT_EQ(p[kOfficeTitle], "T");
  EXPECT_EQ(p[kOfficeAuthor], "A");
  EXPECT_EQ(p[kOfficeLastAuthor], "L");
  FileProperty broken;
  EXPECT_TRUE(Kalder::OfficeTagFromXML::AnalyzeTag("<?xml version=\"1.0\"?><cp:coreProperties><dc:title>", broken));
  EXPECT_FALSE(Kalder::OfficeTagFromXML::AnalyzeTag("not xml", broken));
  // An inflate that would grow past the member's stated size stops there.
  const std::string big(100000, 'a');
  Bytes packed(compressBound(big.size()));
  z_stream zs{};
  deflateInit2(&zs, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(big.data()));
  zs.avail_in = static_cast<uInt>(big.size());
  zs.next_out = packed.data();
  zs.avail_out = static_cast<uInt>(packed.size());
  deflate(&zs, Z_FINISH);
  packed.resize(zs.total_out);
  deflateEnd(&zs);
  std::string out;
  EXPECT_TRUE(Kalder::OfficeTagFromXML::bDepress(packed.data(), packed.size(), 5000, 8, out));
  EXPECT_EQ(out.size(), 5000u);
  EXPECT_FALSE(Kalder::OfficeTagFromXML::bDepress(packed.data(), packed.size(), 20000, 8, out));
}

TEST(ZipWalk, AnArchiveCutBeforeItsEndIsSizedWithinTheDevice) {
  const Bytes zip = MakeZip({{"a.txt", std::string(20000, 'q')}, {"b.txt", "b"}});
  ASSERT_FALSE(zip.empty());
  Bytes bad = zip;
  ByteWriter(bad).PutU32Le(18, 0xFFFFFF00);  // the first member claims 4 GiB
  Bytes image(bad.size() + 8 * 512, 0);
  std::copy(bad.begin(), bad.end(), image.begin());
  const long long total = static_cast<long long>(image.size());
  testsupport::MemoryDevice device(std::move(image));
  FileZIPAnalyser analyser;
  std::unique_ptr<CRawFileInfo> info(analyser.CreateRawFileInfo());
  analyser.GetRawFileSize(*info, &device);
  EXPECT_GE(info->m_llSize, 0);
  EXPECT_LE(info->m_llSize, 0x104000000LL + 0x10000);
  (void)total;
}

TEST(PdfRules, HeaderTestsAndInformationText) {
  BruteForce::PdfAnalyzer pdf;
  CRawFileInfo probe;
  Bytes sector(512, 0);
  auto put = [&sector](const std::string& s) {
    std::fill(sector.begin(), sector.end(), 0);
    std::memcpy(sector.data(), s.data(), std::min(s.size(), sector.size()));
  };
  put("%!PS-Adobe-3.0 EPSF-3.0\n%%Creator: Adobe Illustrator");
  EXPECT_EQ(pdf.AnalyseBuffer(sector.data(), probe), 0);
  put("%!PS-Adobe-3.0\n%%Creator: Adobe Illustrator(R) 8.0");
  EXPECT_EQ(pdf.AnalyseBuffer(sector.data(), probe), 1);
  put("%!PS-Adobe-3.0\n%%Creator: dvips");
  EXPECT_EQ(pdf.AnalyseBuffer(sector.data(), probe), 0);

  using BruteForce::PdfTitleAnalyzer;
  EXPECT_EQ(PdfTitleAnalyzer::TimeChange("D:20200102030405Z"), "2020-01-02 03-04-05");
  EXPECT_EQ(PdfTitleAnalyzer::TimeChange("D:2020"), "");
  EXPECT_EQ(PdfTitleAnalyzer::RemoveIllegalTitle("Version 2"), "");
  EXPECT_TRUE(PdfTitleAnalyzer::JudeLegalInfo("Carol Smith"));
  EXPECT_FALSE(PdfTitleAnalyzer::JudeLegalInfo("x"));
  static constexpr char kUtf16[] = "Title (\xFE\xFF\x00H\x00i)";
  const std::string utf16(kUtf16, sizeof(kUtf16) - 1);
  EXPECT_EQ(PdfTitleAnalyzer::ObtainPerInfo(reinterpret_cast<const unsigned char*>(utf16.data()),
                                            static_cast<int>(utf16.size())),
            "Hi");
}

TEST(PdfRules, ADigitTitleGivesWayToAuthorAndDate) {
  PdfOptions o;
  o.title = "Release 2";
  const Bytes file = MakePdf(o);
  BruteForce::PdfAnalyzer pdf;
  std::unique_ptr<CRawFileInfo> info(pdf.CreateRawFileInfo());
  auto* p = static_cast<BruteForce::PdfAnalyzer::PdfRawFileInfo*>(info.get());
  Bytes image(file.size() + 2048, 0);
  std::copy(file.begin(), file.end(), image.begin());
  CRawFileInfo::SearchContext context;
  context.bufferBegin = image.data();
  context.bufferEnd = image.data() + image.size();
  context.blockEndSector = static_cast<long long>(image.size() / 512);
  int r = 2;
  for (long long s = 0; s < context.blockEndSector && r == 2; ++s) {
    unsigned char* sector = image.data() + s * 512;
    int zero = 0;
    while (zero < 32 && sector[511 - zero] == 0) ++zero;
    context.zeroTailBytes = zero / 4 * 4;
    r = p->CalcRawSize(sector, 512, s, context);
  }
  ASSERT_EQ(r, 1);
  EXPECT_EQ(p->m_llSize, static_cast<long long>(file.size()));
  EXPECT_EQ(p->GetRawFileName(), "Carol2021-02-03 04-05-06");
  EXPECT_EQ(p->m_strTime, "2020-01-02 03-04-05");
}

Bytes XarWithLengths(unsigned long long clen, unsigned long long ulen) {
  Bytes x = MakeXar({{"a", Noise(100, 1)}});
  ByteWriter w(x);
  w.PutU64Be(8, clen);
  w.PutU64Be(16, ulen);
  return x;
}

TEST(PkgRules, TablesOfContentsAreBoundedAndHeapEndsAtTheFurthestData) {
  struct Case {
    const char* what;
    Bytes file;
    long long size;  // 0: refused
  };
  const Bytes two = MakeXar({{"Payload", Noise(5000, 2)}, {"Bom", Noise(300, 3)}}, true);
  Bytes pkg(64, 0);
  std::memcpy(pkg.data(), "\x7FPKG", 4);
  ByteWriter(pkg).PutU16Be(6, 1);
  ByteWriter(pkg).PutU64Be(24, 4096);
  Bytes hugePkg = pkg;
  ByteWriter(hugePkg).PutU64Be(24, 0x300000000ULL);
  Bytes garbledToc = MakeXar({{"a", Noise(100, 1)}});
  for (std::size_t i = 40; i < 60; ++i) garbledToc[i] ^= 0x5A;
  const Case cases[] = {
      {"directory_with_highest_id", two, static_cast<long long>(two.size())},
      {"toc_bomb", XarWithLengths(100, 0x300001), 0},
      {"toc_too_long", XarWithLengths(0x300001, 100), 0},
      {"toc_that_does_not_inflate", garbledToc, 0},
      {"stated_total", pkg, 4096},
      {"stated_total_above_limit", hugePkg, 0},
  };
  for (const Case& c : cases) {
    Bytes image(c.file.size() + 16 * 512, 0);
    std::copy(c.file.begin(), c.file.end(), image.begin());
    testsupport::MemoryDevice device(std::move(image));
    FilePKGAnalyser analyser;
    CRawFileInfo info;
    const bool ok = analyser.GetRawFileSize(info, &device);
    EXPECT_EQ(ok, c.size != 0) << c.what;
    EXPECT_EQ(info.m_llSize, c.size) << c.what;
  }
}

}  // namespace
