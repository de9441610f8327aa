// Compound documents, office ZIPs, PDFs and xar packages are sized exactly
// through the sweep and through their device readers, typed, named and
// labelled from their metadata; cut and damaged copies never escape the
// device.
#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <random>

#include "carving/CarvingHarness.h"
#include "carving/DocumentSamples.h"
#include "carving/FileOLEAnalyser.h"
#include "carving/FilePDFAnalyser.h"
#include "carving/FilePKGAnalyser.h"
#include "carving/FileZIPAnalyser.h"
#include "carving/RawFileType.h"
#include "support/MemoryDevice.h"

using namespace carvingtest;

namespace {

std::uint64_t FileTime(int year, int month, int day, int hour, int minute, int second) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  const std::time_t t = timegm(&tm);
  return static_cast<std::uint64_t>(t) * 10000000ULL + 116444736000000000ULL;
}

std::string LocalText(std::uint64_t filetime) {
  const auto t = static_cast<std::time_t>((filetime - 116444736000000000ULL) / 10000000ULL);
  std::tm tm{};
  localtime_r(&t, &tm);
  char text[64];
  std::snprintf(text, sizeof(text), "%d-%02d-%02d-%02d-%02d-%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                tm.tm_hour, tm.tm_min, tm.tm_sec);
  return text;
}

OleOptions Ole(const std::string& stream, std::size_t payload = 6000) {
  OleOptions o;
  o.stream = stream;
  o.payload = payload;
  o.created = FileTime(2020, 1, 2, 3, 4, 5);
  o.saved = FileTime(2021, 6, 15, 12, 30, 45);
  return o;
}

Bytes Docx(const std::string& kind, std::size_t body = 9000, bool streamed = false) {
  return MakeZip(DocxMembers(kind, body, CoreXml("Budget Plan", "Alice", "Bob", "2021-02-03T04:05:06Z")), streamed);
}

struct DocCase {
  const char* label;
  std::function<Bytes()> make;
  int type;
  bool exactAfterGarbage;  // a PDF ends at "%%EOF" before zero fill only
  int deviceType = -1;     // the device reader's type when it differs
};

const DocCase kCases[] = {
    {"doc", [] { return MakeOle(Ole("WordDocument")); }, 23, true},
    {"xls", [] { return MakeOle(Ole("Workbook", 20000)); }, 71, true},
    {"ppt", [] { return MakeOle(Ole("PowerPoint Document")); }, 52, true},
    {"ole_fat_at_end",
     [] {
       OleOptions o = Ole("WordDocument", 30000);
       o.fatAtEnd = true;
       return MakeOle(o);
     },
     23, true},
    {"ole_difat",
     [] {
       OleOptions o = Ole("Workbook", 80000);
       o.difatSector = true;
       o.fatAtEnd = true;
       return MakeOle(o);
     },
     71, true},
    {"ole_version4",
     [] {
       OleOptions o = Ole("WordDocument", 20000);
       o.version4 = true;
       return MakeOle(o);
     },
     23, true},
    {"ole_generic", [] { return MakeOle(Ole("Contents")); }, 41, true},
    {"docx", [] { return Docx("docx"); }, 73, true},
    {"xlsx", [] { return Docx("xlsx", 20000); }, 74, true},
    {"pptx", [] { return Docx("pptx", 600); }, 75, true},
    {"odt", [] { return Docx("odt"); }, 123, true},
    {"ods", [] { return Docx("ods"); }, 124, true},
    {"odp", [] { return Docx("odp"); }, 125, true},
    {"epub", [] { return Docx("epub"); }, 114, true},
    {"zip",
     [] {
       return MakeZip({{"a.txt", "hello hello hello"}, {"b.bin", std::string(5000, 'x')}});
     },
     72, true},
    {"docx_streamed", [] { return Docx("docx", 9000, true); }, 73, true},
    {"pdf", [] { return MakePdf({}); }, 50, false},
    {"pdf_small",
     [] {
       PdfOptions o;
       o.body = 700;
       return MakePdf(o);
     },
     50, false},
    {"ai",
     [] {
       PdfOptions o;
       o.illustrator = true;
       return MakePdf(o);
     },
     5, false, 50},
    {"xar",
     [] {
       return MakeXar({{"Payload", Noise(9000, 3)}, {"Bom", Noise(700, 4)}});
     },
     119, true},
};

class DocumentSize : public ::testing::TestWithParam<DocCase> {};

testsupport::MemoryDevice Place(const Bytes& file, long long at, const Bytes& tail, std::size_t total) {
  Bytes image(total, 0);
  std::copy(file.begin(), file.end(), image.begin() + at * 512);
  std::copy(tail.begin(), tail.end(), image.begin() + at * 512 + static_cast<long long>(file.size()));
  return testsupport::MemoryDevice(std::move(image));
}

std::size_t ImageSize(const Bytes& file) { return (file.size() / 512 + 64) * 512; }

std::string Extension(const Found& f) { return f.name.substr(f.name.rfind('.') + 1); }

TEST_P(DocumentSize, SweepSizesTheFileBeforeZeros) {
  const Bytes file = GetParam().make();
  ASSERT_FALSE(file.empty()) << "the sample could not be made";
  auto device = Place(file, 3, {}, ImageSize(file));
  const auto files = Files(Carve(&device, 64));
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files.front().start, 3);
  EXPECT_EQ(files.front().size, static_cast<long long>(file.size()));
  EXPECT_EQ(Extension(files.front()), RawFileExtName(GetParam().type));
}

// A PDF's end marker needs zero fill after it, so only the other documents are
// sized exactly before garbage.
class DocumentSizeBeforeGarbage : public DocumentSize {};

TEST_P(DocumentSizeBeforeGarbage, SweepSizesTheFileBeforeGarbage) {
  const Bytes file = GetParam().make();
  ASSERT_FALSE(file.empty());
  const std::size_t garbage = 512 - file.size() % 512 + 1024;
  auto device = Place(file, 0, Noise(garbage, 77), ImageSize(file) + 2048);
  const auto files = Files(Carve(&device, 64));
  ASSERT_FALSE(files.empty());
  EXPECT_EQ(files.front().start, 0);
  EXPECT_EQ(files.front().size, static_cast<long long>(file.size()));
  EXPECT_EQ(Extension(files.front()), RawFileExtName(GetParam().type));
}

TEST_P(DocumentSize, DeviceReaderSizesTheFile) {
  const Bytes file = GetParam().make();
  ASSERT_FALSE(file.empty());
  auto device = Place(file, 5, {}, ImageSize(file));
  FileOLEAnalyser ole;
  FileZIPAnalyser zip;
  FilePDFAnalyser pdf;
  FilePKGAnalyser pkg;
  IRawFileAnalyser* reader = file[0] == 0xD0  ? static_cast<IRawFileAnalyser*>(&ole)
                             : file[0] == 'P' ? static_cast<IRawFileAnalyser*>(&zip)
                             : file[0] == '%' ? static_cast<IRawFileAnalyser*>(&pdf)
                                              : static_cast<IRawFileAnalyser*>(&pkg);
  std::unique_ptr<CRawFileInfo> info(reader->CreateRawFileInfo());
  info->m_llStartSector = 5;
  ASSERT_NE(reader->AnalyseBuffer(const_cast<unsigned char*>(file.data()), *info), 0);
  ASSERT_TRUE(reader->GetRawFileSize(*info, &device));
  EXPECT_EQ(info->m_llSize, static_cast<long long>(file.size()));
  // The device reader does not read the information dictionary.
  EXPECT_EQ(info->m_eType, GetParam().deviceType >= 0 ? GetParam().deviceType : GetParam().type);
}

TEST_P(DocumentSize, CutAndDamagedCopiesStayInsideTheDevice) {
  const Bytes file = GetParam().make();
  ASSERT_FALSE(file.empty());
  std::mt19937 rng(11);
  for (int round = 0; round < 10; ++round) {
    const Bytes copy = DamagedCopy(file, round, 10, rng, 8, 8);
    const std::size_t total = ImageSize(file);
    auto device = Place(copy, 1, Noise(700, static_cast<unsigned>(round)), total);
    for (const Found& f : Files(Carve(&device, 64))) {
      EXPECT_GT(f.size, 0);
      EXPECT_LE(f.start * 512 + f.size, static_cast<long long>(total));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, DocumentSize, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.label); });

INSTANTIATE_TEST_SUITE_P(Formats, DocumentSizeBeforeGarbage,
                         ::testing::ValuesIn(CasesWhere(kCases, &DocCase::exactAfterGarbage)),
                         [](const auto& info) { return std::string(info.param.label); });

// The folders of the label tree above a file, nearest last.
std::vector<std::string> LabelPath(const std::vector<Found>& all, const Found& file) {
  std::vector<std::string> path;
  long long parent = file.parent;
  for (int guard = 0; guard < 8 && parent != 1000; ++guard) {
    auto it = std::find_if(all.begin(), all.end(), [parent](const Found& f) {
      return f.folder && f.id == parent && f.tree == kSearcherRawByLabel;
    });
    if (it == all.end()) break;
    path.insert(path.begin(), it->name);
    parent = it->parent;
  }
  return path;
}

struct LabelCase {
  const char* label;
  std::function<Bytes()> make;
  std::vector<std::string> folders;  // Office / Word / value
  std::string nameStart;
};

const LabelCase kLabels[] = {
    {"doc_summary",
     [] { return MakeOle(Ole("WordDocument")); },
     {"Office", "Word", "Bob"},
     "Bob_Quarterly Report_" + LocalText(FileTime(2021, 6, 15, 12, 30, 45))},
    {"xls_summary", [] { return MakeOle(Ole("Workbook")); }, {"Office", "Excel", "Bob"}, "Bob_Quarterly Report_"},
    {"docx_core", [] { return Docx("docx"); }, {"Office", "Word", "Bob"}, "Bob_Budget Plan_2021-02-03 04-05-06"},
    {"pptx_core", [] { return Docx("pptx"); }, {"Office", "PowerPoint", "Bob"}, "Bob_Budget Plan_"},
    {"pdf_info", [] { return MakePdf({}); }, {"PDF", "Carol"}, "Annual Summary2021-02-03 04-05-06"},
    {"ai_info",
     [] {
       PdfOptions o;
       o.illustrator = true;
       return MakePdf(o);
     },
     {"AI", "Carol"},
     "Annual Summary"},
};

class DocumentLabel : public ::testing::TestWithParam<LabelCase> {};

TEST_P(DocumentLabel, MetadataNamesAndLabelsTheFind) {
  const Bytes file = GetParam().make();
  ASSERT_FALSE(file.empty());
  auto device = Place(file, 2, {}, ImageSize(file));
  const auto all = Carve(&device, 64);
  const auto files = Files(all);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files.front().tree, kSearcherRawByLabel);
  EXPECT_EQ(LabelPath(all, files.front()), GetParam().folders);
  EXPECT_EQ(files.front().name.rfind(GetParam().nameStart, 0), 0u) << files.front().name;
}

INSTANTIATE_TEST_SUITE_P(Metadata, DocumentLabel, ::testing::ValuesIn(kLabels),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(DocumentAnalyser, FilesWithoutMetadataStayInTheTreeByExtension) {
  OleOptions o = Ole("WordDocument");
  o.summary = false;
  for (const Bytes& file : {MakeOle(o), MakeZip({{"a.txt", std::string(3000, 'a')}}), Docx("odt")}) {
    auto device = Place(file, 0, {}, ImageSize(file));
    const auto files = Files(Carve(&device, 64));
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files.front().tree, kSearcherRawByType);
    EXPECT_EQ(files.front().name.rfind("0-", 0), 0u) << files.front().name;
  }
}

TEST(DocumentAnalyser, TwoDocumentsBackToBackAreBothSized) {
  const Bytes a = Docx("docx");
  const Bytes b = MakeOle(Ole("WordDocument"));
  Bytes image((a.size() / 512 + b.size() / 512 + 40) * 512, 0);
  std::copy(a.begin(), a.end(), image.begin());
  const std::size_t bAt = (a.size() + 511) / 512 * 512;
  std::copy(b.begin(), b.end(), image.begin() + static_cast<std::ptrdiff_t>(bAt));
  testsupport::MemoryDevice device(std::move(image));
  const auto files = Files(Carve(&device, 64));
  ASSERT_EQ(files.size(), 2u);
  for (const Found& f : files) {
    EXPECT_EQ(f.size, static_cast<long long>(f.start == 0 ? a.size() : b.size()));
  }
}

}  // namespace

namespace {

TEST(DocumentAnalyser, FourKibibyteSectorsSizeTheSameFiles) {
  OleOptions v4 = Ole("WordDocument", 20000);
  v4.version4 = true;
  const Bytes files[] = {MakeOle(Ole("Workbook", 20000)), MakeOle(v4), Docx("docx"),
                         Docx("docx", 9000, true),        MakePdf({}), MakeXar({{"Payload", Noise(9000, 3)}})};
  for (const Bytes& file : files) {
    ASSERT_FALSE(file.empty());
    Bytes image((file.size() / 4096 + 16) * 4096, 0);
    std::copy(file.begin(), file.end(), image.begin() + 4096);
    testsupport::MemoryDevice device(std::move(image), 4096);
    const auto found = Files(Carve(&device, 16));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found.front().start, 1);
    EXPECT_EQ(found.front().size, static_cast<long long>(file.size()));
  }
}

}  // namespace
