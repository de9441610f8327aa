// The streaming analysers of images, audio, video, drawings and databases
// size real files (the fidentify check) with zeros and with garbage after
// them; cut and damaged copies stay inside the device.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>

#include "carving/CarvingHarness.h"
#include "carving/FileFLVAnalyser.h"
#include "carving/FileMIDAnalyser.h"
#include "carving/FileMPGAnalyser.h"
#include "carving/FileOggAnalyser.h"
#include "carving/FilePSDAnalyser.h"
#include "carving/FileRTFAnalyser.h"
#include "carving/FileSVGAnalyser.h"
#include "carving/StreamFormatSamples.h"
#include "support/MemoryDevice.h"
#include "support/TempDir.h"

using namespace carvingtest;

namespace {

long long Sectors(long long n) { return (n + 511) / 512 * 512; }

// Expected size range for a file of n bytes.
struct Expect {
  std::function<long long(long long)> lo;
  std::function<long long(long long)> hi;
};
const Expect kExact{[](long long n) { return n; }, [](long long n) { return n; }};
const Expect kWholeSectors{Sectors, Sectors};
Expect Plus(int a, int b) {
  return Expect{[a](long long n) { return n + a; }, [b](long long n) { return n + b; }};
}

enum class AfterGarbage { kSame, kConservative };

struct FormatCase {
  const char* label;
  std::function<Bytes(testsupport::TempDir&)> make;
  const char* extension;
  Expect zeros;
  AfterGarbage garbage;
};

Bytes Fh11Header() {
  Bytes h{0x1C, 0x01, 0x00, 0x00, 0x02, 0x00, 0x04, 0x1C, 0x01, 0x14, 0x00, 0x02, 0x00, 0x14, 0x1C, 0x01};
  h.resize(34, 0x20);
  h.push_back('1');
  h.push_back('1');
  return h;
}

const FormatCase kCases[] = {
    {"gif", [](testsupport::TempDir&) { return MakeGif(64, 48, 1); }, "GIF", kExact, AfterGarbage::kSame},
    {"gif_small", [](testsupport::TempDir&) { return MakeGif(8, 8, 2); }, "GIF", kExact, AfterGarbage::kSame},
    {"gif_last_block_is_trailer_byte", [](testsupport::TempDir&) { return MakeGif(80, 60, 3, ';'); }, "GIF", kExact,
     AfterGarbage::kSame},
    {"gif_last_block_is_extension_byte", [](testsupport::TempDir&) { return MakeGif(80, 60, 4, '!'); }, "GIF", kExact,
     AfterGarbage::kSame},
    {"sqlite", [](testsupport::TempDir& d) { return MakeSqlite(d.Path().string(), 300, 4096); }, "FCPEVENT", kExact,
     AfterGarbage::kSame},
    {"sqlite_1k_pages", [](testsupport::TempDir& d) { return MakeSqlite(d.Path().string(), 120, 1024); }, "FCPEVENT",
     kExact, AfterGarbage::kSame},
    {"midi", [](testsupport::TempDir&) { return MakeMidi(3, 200, 5); }, "MID", kWholeSectors, AfterGarbage::kSame},
    {"psd_raw", [](testsupport::TempDir&) { return MakePsd(40, 30, false, 6); }, "PSD", kExact, AfterGarbage::kSame},
    {"psd_rle", [](testsupport::TempDir&) { return MakePsd(300, 20, true, 7); }, "PSD", kExact, AfterGarbage::kSame},
    {"psd_raw_ending_in_zero_pixels", [](testsupport::TempDir&) { return MakePsd(50, 20, false, 8, true); }, "PSD",
     kExact, AfterGarbage::kSame},
    {"rtf", [](testsupport::TempDir&) { return MakeRtf(5000, 9); }, "RTF", kExact, AfterGarbage::kSame},
    {"ogg",
     [](testsupport::TempDir&) {
       return MakeOgg({30, 4000, 700, 12000, 255, 90}, 10);
     },
     "OGG", kExact, AfterGarbage::kSame},
    {"flv", [](testsupport::TempDir&) { return MakeFlv(12, 11); }, "FLV", kExact, AfterGarbage::kSame},
    {"mpeg_ps", [](testsupport::TempDir&) { return MakeMpegPs(6, 12); }, "MPG", kExact, AfterGarbage::kConservative},
    {"svg", [](testsupport::TempDir&) { return MakeSvg(3000, 13); }, "SVG", kExact, AfterGarbage::kSame},
    {"gpx", [](testsupport::TempDir&) { return MakeGpx(40); }, "GPX", kExact, AfterGarbage::kSame},
    {"dxf_crlf", [](testsupport::TempDir&) { return MakeDxf(60, true); }, "DXF", kExact, AfterGarbage::kSame},
    {"dxf_lf_comment", [](testsupport::TempDir&) { return MakeDxf(45, false); }, "DXF", kExact, AfterGarbage::kSame},
    {"eps_text", [](testsupport::TempDir&) { return MakeEpsText(4000, 14); }, "EPS", Plus(0, 3),
     AfterGarbage::kConservative},
    {"eps_binary", [](testsupport::TempDir&) { return MakeEpsBinary(2500, 15); }, "EPS", kExact, AfterGarbage::kSame},
    {"freehand11", [](testsupport::TempDir&) { return MakeZeroTailFile(Fh11Header(), 3000, 16); }, "FH11", Plus(0, 3),
     AfterGarbage::kConservative},
    {"jks",
     [](testsupport::TempDir&) {
       return MakeZeroTailFile({0xFE, 0xED, 0xFE, 0xED, 0, 0, 0, 2}, 2100, 17);
     },
     "JKS", Plus(0, 1), AfterGarbage::kConservative},
    {"sibelius",
     [](testsupport::TempDir&) {
       return MakeZeroTailFile({0x0F, 'S', 'I', 'B', 'E', 'L', 'I', 'U', 'S'}, 3300, 18);
     },
     "SIB", Plus(0, 1), AfterGarbage::kConservative},
    {"psafe3",
     [](testsupport::TempDir&) {
       return MakeZeroTailFile({'P', 'W', 'S', '3'}, 1800, 19);
     },
     "PSAFE3", Plus(0, 1), AfterGarbage::kConservative},
    {"wpg",
     [](testsupport::TempDir&) {
       return MakeZeroTailFile({0x77, 0x70, 0x67, 0x00, 1, 2}, 2400, 20);
     },
     "WPG", Plus(0, 1), AfterGarbage::kConservative},
    {"dwg_r2000", [](testsupport::TempDir&) { return MakeDwgR2000(6000, 21); }, "DWG", kExact, AfterGarbage::kSame},
    {"dwg_r2004", [](testsupport::TempDir&) { return MakeDwgR2004(7100, 22); }, "DWG", kExact, AfterGarbage::kSame},
    {"mdb", [](testsupport::TempDir&) { return MakeMdb(12, 23); }, "MDB", kExact, AfterGarbage::kSame},
    {"lzh",
     [](testsupport::TempDir&) {
       return MakeLzh({3000, 17, 900}, 24);
     },
     "LZH", kExact, AfterGarbage::kSame},
    {"dmg_bzip2", [](testsupport::TempDir&) { return MakeBzDmg(20000, 25); }, "DMG", kExact, AfterGarbage::kSame},
    {"x3f", [](testsupport::TempDir&) { return MakeX3f(9000, 26); }, "X3F", kExact, AfterGarbage::kConservative},
    {"dbx", [](testsupport::TempDir&) { return MakeDbx(5000, 27); }, "DBX", kExact, AfterGarbage::kSame},
    {"aep", [](testsupport::TempDir&) { return MakeAep(4100, 28); }, "AEP", kExact, AfterGarbage::kSame},
    {"ngrr",
     [](testsupport::TempDir&) {
       return MakeNgrr({100, 2000, 700}, 29);
     },
     "NGRR", kExact, AfterGarbage::kSame},
    {"psp",
     [](testsupport::TempDir&) {
       return MakePsp({60, 3000, 1200}, 30);
     },
     "PSP", kExact, AfterGarbage::kSame},
    {"mobi",
     [](testsupport::TempDir&) {
       return MakeMobi({600, 2500, 90}, 31);
     },
     "MOBI", kExact, AfterGarbage::kSame},
    {"mxf",
     [](testsupport::TempDir&) {
       return MakeMxf({300, 5000, 17}, 32);
     },
     "MXF", kExact, AfterGarbage::kSame},
    {"mlv",
     [](testsupport::TempDir&) {
       return MakeMlv({1500, 3000, 800}, 33);
     },
     "MLV", kExact, AfterGarbage::kSame},
    {"realmedia", [](testsupport::TempDir&) { return MakeRm(12, 34); }, "RM", kExact, AfterGarbage::kSame},
    {"stuffit5", [](testsupport::TempDir&) { return MakeSit5(6000, 35); }, "SIT", kExact, AfterGarbage::kSame},
    {"stuffitx", [](testsupport::TempDir&) { return MakeSitx(5000, 36); }, "SITX", Plus(0, 1),
     AfterGarbage::kConservative},
    {"indesign",
     [](testsupport::TempDir&) {
       return MakeIndd(3, {1000, 200}, 37);
     },
     "INDD",
     Expect{[](long long n) { return (n & ~0xFFFLL) + 4096; }, [](long long n) { return (n & ~0xFFFLL) + 4096; }},
     AfterGarbage::kSame},
    {"onenote",
     [](testsupport::TempDir&) {
       return MakeOne({1200, 3000, 700}, 38);
     },
     "ONE", kExact, AfterGarbage::kSame},
    {"canon_crw", [](testsupport::TempDir&) { return MakeCrw(420000, 39); }, "CRW", kExact,
     AfterGarbage::kConservative},
    {"mesh_3ds_over_64k", [](testsupport::TempDir&) { return Make3ds(70001, 40); }, "3DS", kExact, AfterGarbage::kSame},
};

testsupport::MemoryDevice Place(const Bytes& file, long long at, const Bytes& tail, std::size_t total) {
  Bytes image(total, 0);
  std::copy(file.begin(), file.end(), image.begin() + at * 512);
  std::copy(tail.begin(), tail.end(), image.begin() + at * 512 + static_cast<long long>(file.size()));
  return testsupport::MemoryDevice(std::move(image));
}

std::size_t ImageSize(const Bytes& file) { return (file.size() / 512 + 120) * 512; }

std::string Extension(const Found& f) { return f.name.substr(f.name.rfind('.') + 1); }

class StreamFormatSize : public ::testing::TestWithParam<FormatCase> {};

TEST_P(StreamFormatSize, SizeOfTheFileFollowedByZeros) {
  testsupport::TempDir dir;
  const Bytes file = GetParam().make(dir);
  ASSERT_FALSE(file.empty()) << "the sample could not be made";
  const auto n = static_cast<long long>(file.size());
  auto device = Place(file, 3, {}, ImageSize(file));
  const auto files = Files(Carve(&device));
  ASSERT_FALSE(files.empty());
  EXPECT_EQ(files.front().start, 3);
  EXPECT_GE(files.front().size, GetParam().zeros.lo(n));
  EXPECT_LE(files.front().size, GetParam().zeros.hi(n));
  EXPECT_EQ(Extension(files.front()), GetParam().extension);
}

TEST_P(StreamFormatSize, SizeOfTheFileFollowedByGarbage) {
  testsupport::TempDir dir;
  const Bytes file = GetParam().make(dir);
  ASSERT_FALSE(file.empty()) << "the sample could not be made";
  const auto n = static_cast<long long>(file.size());
  const std::size_t garbage = 512 - file.size() % 512 + 1536;
  const std::size_t total = ImageSize(file) + 2048;
  auto device = Place(file, 0, Noise(garbage, 77), total);
  const auto files = Files(Carve(&device));
  ASSERT_FALSE(files.empty());
  EXPECT_EQ(files.front().start, 0);
  if (GetParam().garbage == AfterGarbage::kSame) {
    EXPECT_GE(files.front().size, GetParam().zeros.lo(n));
    EXPECT_LE(files.front().size, GetParam().zeros.hi(n));
  } else {
    // Text-like formats end at the first zero fill: never short.
    EXPECT_GE(files.front().size, n);
    EXPECT_LE(files.front().size, static_cast<long long>(total));
  }
}

TEST_P(StreamFormatSize, CutAndDamagedCopiesStayInsideTheDevice) {
  testsupport::TempDir dir;
  const Bytes file = GetParam().make(dir);
  ASSERT_FALSE(file.empty()) << "the sample could not be made";
  std::mt19937 rng(23);
  for (int round = 0; round < 10; ++round) {
    const Bytes copy = DamagedCopy(file, round, 10, rng, 8, 16);
    const std::size_t total = ImageSize(file);
    auto device = Place(copy, 1, {}, total);
    for (const Found& f : Files(Carve(&device))) {
      EXPECT_GT(f.size, 0);
      EXPECT_LE(f.start * 512 + f.size, static_cast<long long>(total));
    }
  }
}

TEST_P(StreamFormatSize, BlocksOfFiveSectorsGiveTheSameSize) {
  // Structures then cross block ends and wait for the next block.
  testsupport::TempDir dir;
  const Bytes file = GetParam().make(dir);
  ASSERT_FALSE(file.empty()) << "the sample could not be made";
  auto device = Place(file, 3, {}, ImageSize(file));
  const auto large = Files(Carve(&device));
  const auto small = Files(Carve(&device, 5));
  ASSERT_FALSE(large.empty());
  ASSERT_FALSE(small.empty());
  EXPECT_EQ(small.front().start, large.front().start);
  EXPECT_EQ(small.front().size, large.front().size);
}

TEST_P(StreamFormatSize, SectorsOf4096BytesNeverCutTheFile) {
  testsupport::TempDir dir;
  const Bytes file = GetParam().make(dir);
  ASSERT_FALSE(file.empty()) << "the sample could not be made";
  const std::size_t total = (file.size() / 4096 + 40) * 4096;
  Bytes image(total, 0);
  std::copy(file.begin(), file.end(), image.begin() + 2 * 4096);
  testsupport::MemoryDevice device(std::move(image), 4096);
  const auto files = Files(Carve(&device, 256));
  ASSERT_FALSE(files.empty());
  EXPECT_EQ(files.front().start, 2);
  EXPECT_GE(files.front().size, static_cast<long long>(file.size()));
  EXPECT_LE(files.front().size, (static_cast<long long>(file.size()) + 4095) / 4096 * 4096 + 4096);
  EXPECT_EQ(Extension(files.front()), GetParam().extension);
}

INSTANTIATE_TEST_SUITE_P(Formats, StreamFormatSize, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.label); });

// The device readers that take over a find the stream could not finish.
struct ReaderCase {
  const char* label;
  std::function<Bytes()> make;
  std::function<std::unique_ptr<IRawFileAnalyser>()> reader;
  Expect expect;
};

const ReaderCase kReaders[] = {
    {"rtf", [] { return MakeRtf(7000, 31); }, [] { return std::make_unique<FileRTFAnalyser>(); }, kExact},
    {"midi", [] { return MakeMidi(2, 150, 32); }, [] { return std::make_unique<FileMIDAnalyser>(); }, kWholeSectors},
    {"psd_raw", [] { return MakePsd(60, 40, false, 33, true); }, [] { return std::make_unique<FilePSDAnalyser>(); },
     kExact},
    {"psd_rle", [] { return MakePsd(200, 50, true, 34); }, [] { return std::make_unique<FilePSDAnalyser>(); }, kExact},
    {"ogg",
     [] {
       return MakeOgg({100, 60000, 3000}, 35);
     },
     [] { return std::make_unique<CFileOggAnalyser>(); }, kExact},
    {"flv", [] { return MakeFlv(150, 36); }, [] { return std::make_unique<FileFLVAnalyser>(); }, kExact},
    {"mpeg_ps", [] { return MakeMpegPs(80, 37); }, [] { return std::make_unique<FileMPGAnalyser>(); }, kExact},
    {"svg", [] { return MakeSvg(9000, 38); }, [] { return std::make_unique<FileSVGAnalyser>(); }, kExact},
};

class DeviceReaderSize : public ::testing::TestWithParam<ReaderCase> {};

TEST_P(DeviceReaderSize, SizesTheFileThroughTheDevice) {
  const Bytes file = GetParam().make();
  const auto n = static_cast<long long>(file.size());
  auto device = Place(file, 3, {}, ImageSize(file) + 512 * 300);
  auto reader = GetParam().reader();
  CRawFileInfo info;
  info.m_llStartSector = 3;
  ASSERT_TRUE(reader->GetRawFileSize(info, &device));
  EXPECT_GE(info.m_llSize, GetParam().expect.lo(n));
  EXPECT_LE(info.m_llSize, GetParam().expect.hi(n));
}

TEST_P(DeviceReaderSize, CutCopiesNeverReachPastTheDevice) {
  const Bytes file = GetParam().make();
  for (std::size_t keep : {std::size_t{5}, file.size() / 3, file.size() - 7}) {
    Bytes cut(file.begin(), file.begin() + static_cast<long>(keep));
    const std::size_t total = ImageSize(file);
    auto device = Place(cut, 2, Noise(600, 5), total);
    auto reader = GetParam().reader();
    CRawFileInfo info;
    info.m_llStartSector = 2;
    if (reader->GetRawFileSize(info, &device)) {
      EXPECT_GE(info.m_llSize, 0);
      EXPECT_LE(info.m_llStartSector * 512 + info.m_llSize, 0x82000000LL);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Readers, DeviceReaderSize, ::testing::ValuesIn(kReaders),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
