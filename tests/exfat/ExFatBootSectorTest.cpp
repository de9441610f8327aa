// The exFAT boot-sector test and recogniser on volumes made by mkfs.exfat.
#include <gtest/gtest.h>

#include <memory>

#include "exfat/ExFatBootSector.h"
#include "exfat/ExFatVolumeAnalyze.h"
#include "fat/ImageFile.h"
#include "support/Absent.h"

namespace {

class ExFatBootSectors : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testsupport::HaveProgram("mkfs.exfat")) QUARNEL_SKIP_NO_TOOL() << "needs mkfs.exfat";
    image = fattest::MakeImage(dir, "ex.img", "16M", "mkfs.exfat -L EXLABEL");
    ASSERT_FALSE(image.empty());
    sector = fattest::ReadBytes(image);
    sector.resize(512);
  }
  testsupport::TempDir dir;
  std::string image;
  std::vector<std::uint8_t> sector;
};

TEST_F(ExFatBootSectors, FieldsAsMkfsWroteThem) {
  const CExFatDBR dbr(ByteView(sector.data(), sector.size()));
  ASSERT_TRUE(dbr.IsValid(512));
  EXPECT_EQ(dbr.GetTotalSectors(), 32768u);
  EXPECT_EQ(dbr.GetBytePerSector(), 512u);
  EXPECT_GE(dbr.GetRootDirStartCluster(), 2u);
  EXPECT_EQ(dbr.GetNumberOfFat(), 1u);
  EXPECT_EQ(dbr.GetFileSystemType(), 7);
  // A device of another sector size refuses it.
  EXPECT_FALSE(dbr.IsValid(4096));
}

TEST_F(ExFatBootSectors, RecogniserReportsCode7SizeAndAnEmptyLabel) {
  testsupport::MemoryDevice device = fattest::LoadImage(image);
  const std::unique_ptr<IVolumeAnalyze> analyze(CreateExfatVolumeAnalyze(&device, 0));
  ASSERT_NE(analyze, nullptr);
  EXPECT_EQ(analyze->GetFileSystemType(), 7);
  EXPECT_EQ(analyze->GetTotalSector(), 32768);
  char label[8] = {'x', 'x'};
  analyze->GetLabel(label, 8);
  EXPECT_EQ(label[0], '\0');
  char one[1] = {'x'};
  analyze->GetLabel(one, 1);  // too short: untouched
  EXPECT_EQ(one[0], 'x');
  analyze->GetLabel(nullptr, 8);
}

TEST_F(ExFatBootSectors, OneFieldCorruptionsAreRefused) {
  struct Corruption {
    const char* name;
    std::size_t offset;
    std::vector<std::uint8_t> bytes;
  };
  const Corruption cases[] = {
      {"signature", 510, {0x55, 0x00}},
      {"name", 3, {'E', 'X', 'F', 'A', 'T', '3'}},
      {"must-be-zero byte 11", 11, {1}},
      {"must-be-zero byte 63", 63, {1}},
      {"sector shift 8", 108, {8}},
      {"sector shift 13", 108, {13}},
      {"sector shift 12 on a 512-byte device", 108, {12}},
      {"cluster shift 17 (64 MiB clusters)", 109, {17}},
      {"no FAT", 110, {0}},
      {"three FATs", 110, {3}},
      {"FAT length 0", 84, {0, 0, 0, 0}},
      {"FAT offset 0", 80, {0, 0, 0, 0}},
      {"heap offset 0", 88, {0, 0, 0, 0}},
      {"volume length 0", 72, {0, 0, 0, 0, 0, 0, 0, 0}},
      {"volume length beyond 2^63", 72, {0, 0, 0, 0, 0, 0, 0, 0x80}},
      {"cluster count 0", 92, {0, 0, 0, 0}},
      {"root cluster 1", 96, {1, 0, 0, 0}},
      {"FAT past the heap", 84, {0xFF, 0xFF, 0, 0}},
      {"heap past the volume", 88, {0xFF, 0xFF, 0xFF, 0}},
      {"clusters past the volume", 92, {0xFF, 0xFF, 0xFF, 0x0F}},
  };
  testsupport::MemoryDevice device = fattest::LoadImage(image);
  for (const Corruption& c : cases) {
    SCOPED_TRACE(c.name);
    auto b = sector;
    std::copy(c.bytes.begin(), c.bytes.end(), b.begin() + static_cast<std::ptrdiff_t>(c.offset));
    EXPECT_FALSE(CExFatDBR(ByteView(b.data(), b.size())).IsValid(512));
    std::copy(b.begin(), b.end(), device.Bytes().begin());
    const std::unique_ptr<IVolumeAnalyze> analyze(CreateExfatVolumeAnalyze(&device, 0));
    EXPECT_EQ(analyze, nullptr);
  }
}

TEST(ExFatShifts, LargestClustersPassAndLargerFail) {
  // Shifts 12 + 13 (32 MiB clusters) pass the cluster-size rule, 12 + 14 do not.
  std::vector<std::uint8_t> b(512, 0);
  ByteWriter w(b);
  w.PutBytes(3, "EXFAT   ", 8);
  w.PutU64Le(72, 1ULL << 20);
  w.PutU32Le(80, 24);
  w.PutU32Le(84, 8);
  w.PutU32Le(88, 32);
  w.PutU32Le(92, 2);
  w.PutU32Le(96, 2);
  w.PutU8(108, 12);
  w.PutU8(109, 13);
  w.PutU8(110, 1);
  w.PutU8(510, 0x55);
  w.PutU8(511, 0xAA);
  EXPECT_TRUE(CExFatDBR(ByteView(b.data(), b.size())).IsValid(4096));
  w.PutU8(109, 14);
  EXPECT_FALSE(CExFatDBR(ByteView(b.data(), b.size())).IsValid(4096));
}

TEST(ExFatRecogniserBasics, NullOrUnreadableDeviceGivesNoRecogniser) {
  EXPECT_EQ(CreateExfatVolumeAnalyze(nullptr, 0), nullptr);
  testsupport::MemoryDevice device(std::vector<std::uint8_t>(512, 0));
  EXPECT_EQ(CreateExfatVolumeAnalyze(&device, 5), nullptr);
}

}  // namespace
