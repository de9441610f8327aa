// Plain header formats (BMP, RIFF, ICO/CUR, WMF, EMF, SWF, TTF, CAB, AU,
// AIFF, MKV): real small files sized exactly, whatever follows them;
// implausible headers refused; damaged copies stay inside the device.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "carving/CFileAIFAnalyzer.h"
#include "carving/CarvingHarness.h"
#include "carving/FileBMPAnalyser.h"
#include "carving/FileICOAnalyser.h"
#include "carving/FileRIFFAnalyser.h"
#include "carving/FileTTFAnalyser.h"
#include "carving/Samples.h"
#include "support/Absent.h"
#include "support/MemoryDevice.h"
#include "support/TempDir.h"
#include "support/Bytes.h"

using namespace carvingtest;

namespace {

using testsupport::PutBe32;
using testsupport::PutLe16;
using testsupport::PutLe32;
using testsupport::PutText;

Bytes Append(Bytes b, const Bytes& tail) {
  b.insert(b.end(), tail.begin(), tail.end());
  return b;
}

Bytes Bmp(int width, int height, unsigned infoSize = 40) {
  const unsigned row = (static_cast<unsigned>(width) * 3 + 3) / 4 * 4;
  Bytes b(14 + infoSize, 0);
  PutText(b, 0, "BM");
  PutLe32(b, 2, static_cast<unsigned>(b.size()) + row * static_cast<unsigned>(height));
  PutLe32(b, 10, static_cast<unsigned>(b.size()));
  PutLe32(b, 14, infoSize);
  PutLe32(b, 18, static_cast<unsigned>(width));
  PutLe32(b, 22, static_cast<unsigned>(height));
  PutLe16(b, 26, 1);
  PutLe16(b, 28, 24);
  return Append(b, Noise(row * static_cast<unsigned>(height), 31));
}

Bytes Wav(testsupport::TempDir& dir, int frames) {
  const std::string path = dir.File("a.wav");
  return RunAndRead("python3 -c \"import wave,random\nr=random.Random(3)\nw=wave.open('" + path +
                        "','wb')\nw.setnchannels(1)\nw.setsampwidth(1)\nw.setframerate(8000)\nw.writeframes(bytes(r."
                        "randrange(1,255) for _ in range(" +
                        std::to_string(frames) + ")))\nw.close()\"",
                    path);
}

Bytes Riff(const std::string& form, const std::string& chunk, std::size_t body) {
  Bytes b;
  PutText(b, 0, "RIFF");
  PutText(b, 8, form);
  PutText(b, 12, chunk);
  PutLe32(b, 16, static_cast<unsigned>(body));
  b = Append(b, Noise(body, 12));
  PutLe32(b, 4, static_cast<unsigned>(b.size() - 8));
  return b;
}

Bytes Icon(int kind, int entries, unsigned bytesEach) {
  Bytes b(6 + 16 * static_cast<std::size_t>(entries), 0);
  PutLe16(b, 2, static_cast<unsigned>(kind));
  PutLe16(b, 4, static_cast<unsigned>(entries));
  for (int i = 0; i < entries; ++i) {
    const std::size_t e = 6 + 16 * static_cast<std::size_t>(i);
    b[e] = 16;
    b[e + 1] = 16;
    PutLe16(b, e + 4, 1);
    PutLe16(b, e + 6, 32);
    PutLe32(b, e + 8, bytesEach);
    PutLe32(b, e + 12, static_cast<unsigned>(6 + 16 * entries + static_cast<unsigned>(i) * bytesEach));
  }
  for (int i = 0; i < entries; ++i) b = Append(b, Noise(bytesEach, 40 + static_cast<unsigned>(i)));
  return b;
}

Bytes Wmf(std::size_t records) {
  Bytes b(18, 0);
  PutLe16(b, 0, 1);
  PutLe16(b, 2, 9);
  PutLe16(b, 4, 0x0300);
  for (std::size_t i = 0; i < records; ++i) {
    Bytes r(14, 0);
    PutLe32(r, 0, 7);
    PutLe16(r, 4, 0x020B);
    for (std::size_t k = 6; k < 14; ++k) r[k] = static_cast<std::uint8_t>(i + k + 1);
    b = Append(b, r);
  }
  b = Append(b, Bytes{3, 0, 0, 0, 0, 0});
  PutLe32(b, 6, static_cast<unsigned>(b.size() / 2));
  return b;
}

Bytes PlaceableWmf(std::size_t records) {
  Bytes head(22, 0);
  const unsigned char key[] = {0xD7, 0xCD, 0xC6, 0x9A};
  std::copy(key, key + 4, head.begin());
  PutLe16(head, 10, 100);
  PutLe16(head, 12, 80);
  PutLe16(head, 14, 1440);
  unsigned sum = 0;
  for (std::size_t k = 0; k < 20; k += 2) sum ^= static_cast<unsigned>(head[k] | head[k + 1] << 8);
  PutLe16(head, 20, sum);
  return Append(head, Wmf(records));
}

Bytes Emf(std::size_t payload) {
  Bytes b(88, 0);
  PutLe32(b, 0, 1);
  PutLe32(b, 4, 88);
  PutText(b, 40, " EMF");
  PutLe32(b, 44, 0x10000);
  b = Append(b, Noise(payload / 4 * 4, 50));
  Bytes eof(20, 0);
  PutLe32(eof, 0, 14);
  PutLe32(eof, 4, 20);
  eof[16] = 20;
  b = Append(b, eof);
  PutLe32(b, 48, static_cast<unsigned>(b.size()));
  PutLe32(b, 52, 3);
  return b;
}

Bytes Swf(std::size_t body) {
  Bytes b;
  PutText(b, 0, "FWS");
  b.push_back(10);
  b.resize(8);
  b = Append(b, Noise(body, 60));
  PutLe32(b, 4, static_cast<unsigned>(b.size()));
  return b;
}

Bytes Ttf(const std::vector<std::string>& tags, std::size_t tableBytes) {
  Bytes b(12 + 16 * tags.size(), 0);
  PutBe32(b, 0, 0x00010000);
  b[4] = 0;
  b[5] = static_cast<std::uint8_t>(tags.size());
  std::size_t at = b.size();
  for (std::size_t i = 0; i < tags.size(); ++i) {
    const std::size_t e = 12 + 16 * i;
    PutText(b, e, tags[i]);
    PutBe32(b, e + 8, static_cast<unsigned>(at));
    const std::size_t length = tableBytes + i;  // not all multiples of 4
    PutBe32(b, e + 12, static_cast<unsigned>(length));
    at += (length + 3) / 4 * 4;
  }
  Bytes tables = Noise(at - b.size(), 70);
  return Append(b, tables);
}

Bytes Cab(std::size_t body) {
  Bytes b(36, 0);
  PutText(b, 0, "MSCF");
  PutLe32(b, 16, 44);
  b[24] = 3;
  b[25] = 1;
  PutLe16(b, 26, 1);
  PutLe16(b, 28, 1);
  b = Append(b, Noise(body, 80));
  PutLe32(b, 8, static_cast<unsigned>(b.size()));
  return b;
}

Bytes Au(std::size_t samples) {
  Bytes b(24, 0);
  PutText(b, 0, ".snd");
  PutBe32(b, 4, 24);
  PutBe32(b, 8, static_cast<unsigned>(samples));
  PutBe32(b, 12, 2);
  PutBe32(b, 16, 8000);
  PutBe32(b, 20, 1);
  return Append(b, Noise(samples, 90));
}

Bytes Aiff(std::size_t samples) {
  Bytes b;
  PutText(b, 0, "FORM");
  PutText(b, 8, "AIFF");
  PutText(b, 12, "COMM");
  PutBe32(b, 16, 18);
  b.resize(38, 0);
  b[21] = 1;
  PutText(b, 38, "SSND");
  PutBe32(b, 42, static_cast<unsigned>(samples + 8));
  b.resize(54, 0);
  b = Append(b, Noise(samples, 95));
  PutBe32(b, 4, static_cast<unsigned>(b.size() - 8));
  return b;
}

Bytes Mkv(std::size_t body) {
  // EBML header with DocType "matroska", then a Segment with an 8-byte size.
  Bytes b = {0x1A, 0x45, 0xDF, 0xA3, 0x9F, 0x42, 0x86, 0x81, 0x01, 0x42, 0xF7, 0x81,
             0x01, 0x42, 0xF2, 0x81, 0x04, 0x42, 0xF3, 0x81, 0x08, 0x42, 0x82, 0x88,
             'm',  'a',  't',  'r',  'o',  's',  'k',  'a',  0x42, 0x87, 0x81, 0x04};
  b = Append(b, {0x18, 0x53, 0x80, 0x67, 0x01, 0, 0, 0});
  const std::size_t sizeAt = b.size();
  b.resize(sizeAt + 4);
  b = Append(b, Noise(body, 99));
  PutBe32(b, sizeAt, static_cast<unsigned>(body));
  return b;
}

struct PlainCase {
  const char* label;
  std::function<Bytes(testsupport::TempDir&)> make;
  const char* extension;
  const char* tool = nullptr;  // the program that makes the sample, when one does
};

const PlainCase kCases[] = {
    {"bmp", [](testsupport::TempDir&) { return Bmp(37, 21); }, "BMP"},
    {"bmp_v5", [](testsupport::TempDir&) { return Bmp(20, 20, 124); }, "BMP"},
    {"wav", [](testsupport::TempDir& d) { return Wav(d, 3001); }, "WAV", "python3"},
    {"wav_even", [](testsupport::TempDir& d) { return Wav(d, 5000); }, "WAV", "python3"},
    {"avi", [](testsupport::TempDir&) { return Riff("AVI ", "LIST", 2000); }, "AVI"},
    {"ani", [](testsupport::TempDir&) { return Riff("ACON", "anih", 700); }, "ANI"},
    {"riff_other", [](testsupport::TempDir&) { return Riff("WEBP", "VP8 ", 1001); }, "RIFF"},
    {"ico", [](testsupport::TempDir&) { return Icon(1, 2, 1128); }, "ICO"},
    {"cur", [](testsupport::TempDir&) { return Icon(2, 1, 744); }, "CUR"},
    {"wmf", [](testsupport::TempDir&) { return Wmf(90); }, "WMF"},
    {"wmf_placeable", [](testsupport::TempDir&) { return PlaceableWmf(70); }, "WMF"},
    {"emf", [](testsupport::TempDir&) { return Emf(3000); }, "EMF"},
    {"swf", [](testsupport::TempDir&) { return Swf(2500); }, "SWF"},
    {"ttf",
     [](testsupport::TempDir&) {
       return Ttf({"OS/2", "cmap", "glyf", "head", "hhea", "loca"}, 900);
     },
     "TTF"},
    {"cab", [](testsupport::TempDir&) { return Cab(4000); }, "CAB"},
    {"au", [](testsupport::TempDir&) { return Au(3333); }, "AU"},
    {"aiff", [](testsupport::TempDir&) { return Aiff(2500); }, "AIFF"},
    {"mkv", [](testsupport::TempDir&) { return Mkv(6000); }, "MKV"},
};

class PlainHeader : public ::testing::TestWithParam<PlainCase> {};

testsupport::MemoryDevice Place(const Bytes& file, long long at, const Bytes& tail) {
  Bytes image((file.size() + tail.size()) / 512 * 512 + (at + 40) * 512, 0);
  std::copy(file.begin(), file.end(), image.begin() + at * 512);
  std::copy(tail.begin(), tail.end(), image.begin() + at * 512 + static_cast<long long>(file.size()));
  return testsupport::MemoryDevice(std::move(image));
}

TEST_P(PlainHeader, SizeIsTheFilesWithZerosAfter) {
  const char* tool = GetParam().tool;
  if (tool != nullptr && !testsupport::HaveProgram(tool)) QUARNEL_SKIP_NO_TOOL() << tool << " is not installed";
  testsupport::TempDir dir;
  const Bytes file = GetParam().make(dir);
  ASSERT_FALSE(file.empty()) << "the sample tool failed";
  auto device = Place(file, 3, {});
  const auto files = Files(Carve(&device));
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].start, 3);
  EXPECT_EQ(files[0].size, static_cast<long long>(file.size()));
  EXPECT_EQ(files[0].name.substr(files[0].name.rfind('.') + 1), GetParam().extension) << files[0].name;
}

TEST_P(PlainHeader, SizeIsTheFilesWithGarbageAfter) {
  const char* tool = GetParam().tool;
  if (tool != nullptr && !testsupport::HaveProgram(tool)) QUARNEL_SKIP_NO_TOOL() << tool << " is not installed";
  testsupport::TempDir dir;
  const Bytes file = GetParam().make(dir);
  ASSERT_FALSE(file.empty()) << "the sample tool failed";
  auto device = Place(file, 0, Noise(1500, 7));
  const auto files = Files(Carve(&device));
  ASSERT_FALSE(files.empty());
  EXPECT_EQ(files[0].start, 0);
  EXPECT_EQ(files[0].size, static_cast<long long>(file.size()));
}

TEST_P(PlainHeader, CutAndDamagedCopiesStayInsideTheDevice) {
  const char* tool = GetParam().tool;
  if (tool != nullptr && !testsupport::HaveProgram(tool)) QUARNEL_SKIP_NO_TOOL() << tool << " is not installed";
  testsupport::TempDir dir;
  const Bytes file = GetParam().make(dir);
  ASSERT_FALSE(file.empty()) << "the sample tool failed";
  std::mt19937 rng(13);
  for (int round = 0; round < 12; ++round) {
    const Bytes copy = DamagedCopy(file, round, 12, rng, 6, 4, 64);
    auto device = Place(copy, 1, {});
    const long long total = device.GetTotalSectors() * 512;
    for (const Found& f : Files(Carve(&device))) {
      EXPECT_GT(f.size, 0);
      EXPECT_LE(f.start * 512 + f.size, total);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, PlainHeader, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.label); });

int Accepts(IRawFileAnalyser& analyser, const Bytes& file, CRawFileInfo& probe) {
  Bytes sector = file;
  sector.resize(std::max<std::size_t>(sector.size(), 512), 0);
  return analyser.AnalyseBuffer(sector.data(), probe);
}

TEST(PlainHeaderRules, ImplausibleHeadersAreRefused) {
  struct Row {
    const char* label;
    std::function<std::unique_ptr<IRawFileAnalyser>()> make;
    Bytes file;
    int accepted;
  };
  Bytes tooShort = Bmp(4, 4);
  PutLe32(tooShort, 2, 20);  // smaller than its headers
  const Row rows[] = {
      {"bmp_108", [] { return std::make_unique<FileBMPAnalyser>(); }, Bmp(8, 8, 108), 0},
      {"bmp_40", [] { return std::make_unique<FileBMPAnalyser>(); }, Bmp(8, 8, 40), 1},
      {"bmp_size_below_headers", [] { return std::make_unique<FileBMPAnalyser>(); }, tooShort, 0},
      {"ico_16", [] { return std::make_unique<FileICOAnalyser>(); }, Icon(1, 16, 100), 1},
      {"ico_17", [] { return std::make_unique<FileICOAnalyser>(); }, Icon(1, 17, 100), 0},
      {"ico_over_1MiB", [] { return std::make_unique<FileICOAnalyser>(); }, Icon(1, 2, 0x90000), 0},
      {"ttf_4_of_10_known", [] { return std::make_unique<FileTTFAnalyser>(); },
       Ttf({"head", "cmap", "glyf", "loca", "AAAA", "BBBB", "CCCC", "DDDD", "EEEE", "FFFF"}, 8), 0},
      {"ttf_5_of_10_known", [] { return std::make_unique<FileTTFAnalyser>(); },
       Ttf({"head", "cmap", "glyf", "loca", "name", "BBBB", "CCCC", "DDDD", "EEEE", "FFFF"}, 8), 1},
      {"aiff_other_form", [] { return std::make_unique<CFileAIFAnalyzer>(); }, Riff("8SVX", "VHDR", 40), 0},
  };
  for (const Row& r : rows) {
    auto analyser = r.make();
    CRawFileInfo probe;
    EXPECT_EQ(Accepts(*analyser, r.file, probe), r.accepted) << r.label;
  }
}

TEST(PlainHeaderRules, RiffSizeIsTheChunkSizeAndItsHeader) {
  struct Row {
    const char* form;
    const char* chunk;
    int type;
  };
  const Row rows[] = {{"WAVE", "fmt ", 67}, {"wave", "FMT ", 67}, {"AVI ", "LIST", 10},
                      {"ACON", "LIST", 4},  {"CARC", "vrsn", 15}, {"CSL2", "vrsn", 19},
                      {"CDR9", "vrsn", 13}, {"CDRX", "vrsn", 59}, {"WAVE", "data", 59}};
  for (const Row& r : rows) {
    const Bytes file = Riff(r.form, r.chunk, 992 - 12);
    ASSERT_EQ(file.size(), 1000u);
    FileRIFFAnalyser analyser;
    CRawFileInfo probe;
    ASSERT_EQ(Accepts(analyser, file, probe), 1);
    EXPECT_EQ(probe.m_eType, r.type) << r.form << r.chunk;
    Bytes image(4096, 0);
    std::copy(file.begin(), file.end(), image.begin());
    testsupport::MemoryDevice device(image);
    CRawFileInfo info;
    EXPECT_TRUE(analyser.GetRawFileSize(info, &device));
    EXPECT_EQ(info.m_llSize, 1000);
  }
}

}  // namespace
