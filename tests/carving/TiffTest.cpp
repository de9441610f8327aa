// TIFF and camera-raw carving: sizes while the sweep passes and through the
// device, types from the camera make, names and Camera labels; cut and
// damaged files never escape the device.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "carving/CarvingHarness.h"
#include "carving/FileTIFAnalyser.h"
#include "carving/RawFileInfo.h"
#include "carving/TiffAnalyzer.h"
#include "carving/TiffSamples.h"
#include "core/model/SearcherTypes.h"
#include "support/MemoryDevice.h"

using namespace carvingtest;

namespace {

constexpr long long kAt = 3;

testsupport::MemoryDevice Place(const Bytes& file, long long at, const Bytes& tail, std::size_t extraSectors = 64) {
  Bytes image((file.size() + tail.size()) / 512 * 512 + (at + extraSectors) * 512, 0);
  std::copy(file.begin(), file.end(), image.begin() + at * 512);
  std::copy(tail.begin(), tail.end(), image.begin() + at * 512 + static_cast<long long>(file.size()));
  return testsupport::MemoryDevice(std::move(image));
}

long long RoundUp(long long n) { return (n + 511) / 512 * 512; }

std::string Ext(const Found& f) { return f.name.substr(f.name.rfind('.') + 1); }

TiffOptions Camera(const char* make, const char* model, std::size_t strip = 700000) {
  TiffOptions o;
  o.make = make;
  o.model = model;
  o.stripBytes = strip;
  o.endRemainder = 300;
  return o;
}

struct StreamCase {
  const char* label;
  TiffOptions options;
  const char* extension;
  bool exact;  // camera raws below 1 MiB end exactly; TIFs in whole sectors
};

std::vector<StreamCase> StreamCases() {
  std::vector<StreamCase> c;
  TiffOptions plain;
  plain.endRemainder = 300;
  c.push_back({"plain_little_endian", plain, "TIF", true});
  plain.bigEndian = true;
  c.push_back({"plain_big_endian", plain, "TIF", true});
  c.push_back({"nikon", Camera("NIKON CORPORATION", "NIKON D70"), "NEF", true});
  c.push_back({"canon", Camera("Canon", "Canon EOS 350D"), "CR2", true});
  c.push_back({"sony_r1", Camera("SONY", "DSC-R1"), "SR2", true});
  c.push_back({"sony", Camera("SONY", "DSLR-A700"), "ARW", true});
  c.push_back({"olympus", Camera("OLYMPUS IMAGING CORP.", "E-410"), "ORF", true});
  c.push_back({"pentax", Camera("PENTAX Corporation", "K10D"), "PEF", true});
  c.push_back({"kodak", Camera("Kodak", "DCS Pro SLR/n"), "DCR", true});
  c.push_back({"unknown_make", Camera("ACME", "One"), "TIF", false});
  TiffOptions dng = Camera("Adobe", "Converter");
  dng.dng = true;
  c.push_back({"dng", dng, "DNG", true});
  TiffOptions be = Camera("SAMSUNG", "NX10");
  be.bigEndian = true;
  c.push_back({"samsung_big_endian", be, "SRW", true});
  TiffOptions rich = Camera("NIKON", "D3", 400000);
  rich.exifIfd = true;
  rich.thumbnail = true;
  rich.dateTime = "2021:03:04 05:06:07";
  c.push_back({"exif_and_thumbnail", rich, "NEF", true});
  TiffOptions large = Camera("Canon", "EOS 5D", 2300000);
  c.push_back({"large_raw_whole_sectors", large, "CR2", false});
  return c;
}

class TiffStream : public ::testing::TestWithParam<StreamCase> {};

TEST_P(TiffStream, SizedWhileTheSweepPasses) {
  const Bytes file = MakeTiff(GetParam().options);
  auto device = Place(file, kAt, {});
  const auto files = Files(Carve(&device));
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].start, kAt);
  EXPECT_EQ(Ext(files[0]), GetParam().extension) << files[0].name;
  if (GetParam().exact) {
    EXPECT_EQ(files[0].size, static_cast<long long>(file.size()));
  } else {
    EXPECT_EQ(files[0].size, RoundUp(static_cast<long long>(file.size())));
  }
}

TEST_P(TiffStream, GarbageAfterTheFileStaysInsideTheDevice) {
  const Bytes file = MakeTiff(GetParam().options);
  const Bytes garbage = Noise(1500, 21);
  auto device = Place(file, 0, garbage);
  const auto files = Files(Carve(&device));
  ASSERT_FALSE(files.empty());
  EXPECT_EQ(files[0].start, 0);
  EXPECT_GE(files[0].size, static_cast<long long>(file.size()));
  // At most through the garbage's sectors.
  EXPECT_LE(files[0].size, RoundUp(static_cast<long long>(file.size() + garbage.size())) + 512);
}

INSTANTIATE_TEST_SUITE_P(Tiff, TiffStream, ::testing::ValuesIn(StreamCases()),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(TiffNaming, CameraFilesAreNamedAndLabelledByMakeAndModel) {
  const Bytes file = MakeTiff(Camera("nikon", "D70"));
  auto device = Place(file, kAt, {});
  const auto all = Carve(&device);
  const auto files = Files(all);
  ASSERT_EQ(files.size(), 1u);
  // The tree keeps the name's first characters and adds a counter.
  EXPECT_EQ(files[0].name.rfind("NIKON_D70", 0), 0u) << files[0].name;
  EXPECT_EQ(files[0].tree, kSearcherRawByLabel);
  std::vector<std::string> folders;
  for (const Found& f : all) {
    if (f.folder) folders.push_back(f.name);
  }
  ASSERT_EQ(folders.size(), 2u);
  EXPECT_EQ(folders[0], "Camera");
  EXPECT_EQ(folders[1], "NIKON");
}

TEST(TiffNaming, AMakeWithAForbiddenCharacterIsDroppedAndTheModelNamesTheFile) {
  const Bytes file = MakeTiff(Camera("NIK#ON", "D80"));
  auto device = Place(file, kAt, {});
  const auto files = Files(Carve(&device));
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].name.rfind("D80", 0), 0u) << files[0].name;
  EXPECT_EQ(Ext(files[0]), "TIF");
}

TEST(TiffNaming, PlainTiffsAreNamedBySectors) {
  TiffOptions o;
  o.endRemainder = 300;
  const Bytes file = MakeTiff(o);
  auto device = Place(file, kAt, {});
  const auto files = Files(Carve(&device));
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].tree, kSearcherRawByType);
  EXPECT_EQ(files[0].name.rfind("3-", 0), 0u) << files[0].name;
}

// The device reader, given a find.
long long DeviceSize(const Bytes& image, long long start, CRawFileInfo& info, FileTIFAnalyser& reader) {
  testsupport::MemoryDevice device(image);
  info.m_llStartSector = start;
  EXPECT_TRUE(reader.GetRawFileSize(info, &device));
  return info.m_llSize;
}

TEST(TiffDevice, PanasonicHeaderTypesByMakeAndModel) {
  struct Row {
    const char* make;
    const char* model;
    int type;
  };
  const Row rows[] = {
      {"Panasonic", "DMC-FZ8", kRawTypeRw2},
      {"Panasonic", "LX100", kRawTypeRawPanasonic},
      {"Leica", "D-LUX", kRawTypeRawPanasonic},
      {"Zeta", "Q", kRawTypeTif},
  };
  for (const Row& r : rows) {
    TiffOptions o = Camera(r.make, r.model, 300000);
    o.rw2Header = true;
    const Bytes file = MakeTiff(o);
    Bytes image(file.size() + 64 * 512, 0);
    std::copy(file.begin(), file.end(), image.begin());
    FileTIFAnalyser reader;
    CRawFileInfo info;
    const long long size = DeviceSize(image, 0, info, reader);
    EXPECT_EQ(info.m_eType, r.type) << r.make << " " << r.model;
    EXPECT_EQ(size, RoundUp(static_cast<long long>(file.size()))) << r.make;
  }
}

TEST(TiffDevice, Rw2HeaderIsSizedThroughTheDeviceInASearch) {
  TiffOptions o = Camera("Panasonic", "DMC-G1", 300000);
  o.rw2Header = true;
  const Bytes file = MakeTiff(o);
  auto device = Place(file, kAt, {});
  const auto files = Files(Carve(&device));
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(Ext(files[0]), "RW2");
  EXPECT_EQ(files[0].size, RoundUp(static_cast<long long>(file.size())));
  EXPECT_EQ(files[0].name.rfind("PANASONIC_DMC-G1", 0), 0u) << files[0].name;
}

TEST(TiffDevice, SmallEstimateGrowsThroughSectorsWithoutAZeroTail) {
  // Strip end at 300,000; its sector and the two after end in non-zero
  // bytes; the next one ends in 16 zero bytes.
  TiffOptions o = Camera("ACME", "X", 300000);
  o.endRemainder = 0;
  Bytes file = MakeTiff(o);
  const long long end = static_cast<long long>(file.size());
  const long long lastSector = (end - 1) / 512;
  Bytes image((lastSector + 40) * 512, 0);
  std::copy(file.begin(), file.end(), image.begin());
  for (long long s = lastSector; s <= lastSector + 2; ++s) image[(s + 1) * 512 - 1] = 0x11;
  for (long long k = end; k < (lastSector + 1) * 512 - 1; ++k) image[k] = 0x22;
  image[(lastSector + 4) * 512 - 17] = 0x33;  // the fourth sector: 16 zero bytes at its end
  FileTIFAnalyser reader;
  CRawFileInfo info;
  EXPECT_EQ(DeviceSize(image, 0, info, reader), (lastSector + 3) * 512);
}

TEST(TiffDevice, ASmallTiffKeepsItsProvenEnd) {
  TiffOptions o;
  o.stripBytes = 4000;
  const Bytes file = MakeTiff(o);
  Bytes image(file.size() + 20 * 512, 0);
  std::copy(file.begin(), file.end(), image.begin());
  FileTIFAnalyser reader;
  CRawFileInfo info;
  EXPECT_EQ(DeviceSize(image, 0, info, reader), RoundUp(static_cast<long long>(file.size())));
  EXPECT_EQ(info.m_eType, kRawTypeTif);
}

TEST(TiffDevice, LargeFilesEndAtTheirEstimateInWholeSectors) {
  const Bytes file = MakeTiff(Camera("PENTAX", "K-5", 1500000));
  Bytes image(file.size() + 20 * 512, 0x44);
  std::copy(file.begin(), file.end(), image.begin());
  FileTIFAnalyser reader;
  CRawFileInfo info;
  EXPECT_EQ(DeviceSize(image, 0, info, reader), RoundUp(static_cast<long long>(file.size())));
  EXPECT_EQ(info.m_eType, kRawTypePef);
  RAW_FILE_TAG tag = kRawTagNone;
  std::string value;
  info.GetRawFileTagAndValue(tag, value);
  EXPECT_EQ(tag, kRawTagCamera);
  EXPECT_EQ(value, "PENTAX");
  EXPECT_EQ(info.GetRawFileName(), "PENTAX_K-5");
}

TEST(TiffDevice, TwelveDirectoriesHandOverToTheDeviceReader) {
  TiffOptions o = Camera("Canon", "EOS 7D", 300000);
  o.extraIfds = 11;
  const Bytes file = MakeTiff(o);
  auto device = Place(file, kAt, {});
  const auto files = Files(Carve(&device));
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(Ext(files[0]), "CR2");
  EXPECT_EQ(files[0].size, RoundUp(static_cast<long long>(file.size())));
  // The device reader names make_model.
  EXPECT_EQ(files[0].name.rfind("CANON_EOS 7D", 0), 0u) << files[0].name;
}

TEST(TiffDevice, DirectoryLoopsEnd) {
  for (int extra : {0, 3}) {
    TiffOptions o = Camera("Canon", "EOS", 200000);
    o.extraIfds = extra;
    o.selfLink = true;
    const Bytes file = MakeTiff(o);
    auto device = Place(file, kAt, {});
    const auto files = Files(Carve(&device));
    ASSERT_EQ(files.size(), 1u);
    EXPECT_GE(files[0].size, static_cast<long long>(file.size()));
    EXPECT_LE(files[0].size, RoundUp(static_cast<long long>(file.size())));
  }
}

TEST(TiffDevice, FujiRafIsNamedFromItsPreviewAndSizedByItsHeader) {
  const Bytes file = MakeRaf("FUJIFILM", "X100", 200000);
  auto device = Place(file, kAt, {});
  auto files = Files(Carve(&device));
  // The preview JPEG inside is found as well.
  std::erase_if(files, [](const Found& f) { return f.start != kAt; });
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(Ext(files[0]), "RAF");
  EXPECT_EQ(files[0].size, static_cast<long long>(file.size()));
  EXPECT_EQ(files[0].name.rfind("FUJIFILM_X100", 0), 0u) << files[0].name;
}

TEST(TiffHeader, AcceptsTheSevenHeadersOnly) {
  BruteForce::TiffAnalyzer analyser;
  FileTIFAnalyser reader;
  struct Row {
    const char* bytes;
    int accepted;
    int readerAccepts;
  };
  const Row rows[] = {
      {"MM\0*", 1, 1},
      {"II*\0", 1, 1},
      {"IIU\0", 1, 1},
      {"IIRO", 1, 1},
      {"IIRS", 1, 1},
      {"MMOR", 1, 1},
      {"FUJIFILMCCD-RAW ", 1, 1},
      {"FUJIFILM-OTHER  ", 0, 0},
      {"II+\0", 0, 1},
  };
  for (const Row& r : rows) {
    unsigned char sector[512] = {};
    std::memcpy(sector, r.bytes, std::strlen(r.bytes) < 4 ? 4 : std::strlen(r.bytes));
    CRawFileInfo probe;
    EXPECT_EQ(analyser.AnalyseBuffer(sector, probe), r.accepted) << r.bytes;
    if (r.accepted != 0) {
      EXPECT_EQ(probe.m_eType, kRawTypeTif);
    }
    CRawFileInfo other;
    EXPECT_EQ(reader.AnalyseBuffer(sector, other), r.readerAccepts) << r.bytes;
  }
}

TEST(TiffHeader, MakeTableGivesTheRawTypes) {
  struct Row {
    const char* make;
    const char* model;
    bool dng;
    bool rw2;
    int type;
  };
  const Row rows[] = {
      {"NIKON", "", false, false, kRawTypeNef},         {"CANON", "", false, false, kRawTypeCr2},
      {"SONY", "DSC-R1", false, false, kRawTypeSr2},    {"SONY", "A7", false, false, kRawTypeArw},
      {"PANASONIC", "X", false, false, kRawTypeRw2},    {"PANASONIC", "X", false, true, kRawTypeRawPanasonic},
      {"PANASONIC", "DMC-1", false, true, kRawTypeRw2}, {"LEICA", "", false, true, kRawTypeRawPanasonic},
      {"LEICA", "", false, false, kRawTypeTif},         {"KODAK", "DCS Pro SLR/c", false, false, kRawTypeDcr},
      {"KODAK", "P880", false, false, kRawTypeKdc},     {"SEIKO EPSON", "", false, false, kRawTypeErf},
      {"HASSELBLAD", "", false, false, kRawType3fr},    {"MAMIYA", "", false, false, kRawTypeMef},
      {"SAMSUNG", "", false, false, kRawTypeSrw},       {"NIKON", "", true, false, kRawTypeDng},
      {"ACME", "", false, false, kRawTypeTif},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(TiffTypeFromMake(r.make, r.model, r.dng, r.rw2, kRawTypeTif), r.type) << r.make << "/" << r.model;
  }
}

TEST(TiffDamage, CutAndDamagedCopiesStayInsideTheDevice) {
  std::mt19937 rng(5);
  const Bytes files[] = {MakeTiff(Camera("NIKON", "D70", 60000)), MakeRaf("FUJIFILM", "X", 30000)};
  for (const Bytes& original : files) {
    for (int round = 0; round < 24; ++round) {
      Bytes copy = original;
      if (round % 3 == 0) {
        copy.resize(copy.size() * static_cast<std::size_t>(round + 1) / 25 + 8);
      } else {
        // Damage the header and directories most of the time.
        const std::size_t span = round % 3 == 1 ? std::min<std::size_t>(copy.size() - 8, 600) : copy.size() - 8;
        for (int k = 0; k < 8; ++k) copy[8 + rng() % span] = static_cast<std::uint8_t>(rng());
      }
      auto device = Place(copy, 1, {}, 32);
      const long long total = device.GetTotalSectors() * 512;
      for (const Found& f : Files(Carve(&device))) {
        EXPECT_GT(f.size, 0);
        EXPECT_LE(f.start * 512 + f.size, total);
      }
      FileTIFAnalyser reader;
      CRawFileInfo info;
      info.m_llStartSector = 1;
      EXPECT_TRUE(reader.GetRawFileSize(info, &device));
      EXPECT_GE(info.m_llSize, 0);
    }
  }
}

}  // namespace
