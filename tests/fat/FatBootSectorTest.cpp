// FAT boot-sector decoding on sectors written by mkfs.vfat, and one-field
// corruptions of them.
#include <gtest/gtest.h>

#include <cstring>

#include "fat/FatBootSector.h"
#include "fat/ImageFile.h"
#include "support/Absent.h"

namespace {

std::vector<std::uint8_t> BootSector(const char* fatBits, const char* size) {
  if (!testsupport::HaveProgram("mkfs.vfat")) return {};
  testsupport::TempDir dir;
  const std::string image =
      fattest::MakeImage(dir, "fat.img", size, std::string("mkfs.vfat -F ") + fatBits + " -n VOL");
  if (image.empty()) return {};
  std::vector<std::uint8_t> bytes = fattest::ReadBytes(image);
  bytes.resize(512);
  return bytes;
}

class FatBootSectors : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_fat16 = BootSector("16", "32M");
    s_fat32 = BootSector("32", "64M");
    s_fat12 = BootSector("12", "4M");
  }
  void SetUp() override {
    if (!testsupport::HaveProgram("mkfs.vfat")) QUARNEL_SKIP_NO_TOOL() << "needs mkfs.vfat";
    ASSERT_FALSE(s_fat16.empty() || s_fat32.empty() || s_fat12.empty()) << "mkfs.vfat failed";
  }
  static std::vector<std::uint8_t> s_fat16, s_fat32, s_fat12;
};
std::vector<std::uint8_t> FatBootSectors::s_fat16, FatBootSectors::s_fat32, FatBootSectors::s_fat12;

ByteView View(const std::vector<std::uint8_t>& b) { return ByteView(b.data(), b.size()); }

TEST_F(FatBootSectors, Fat16FieldsAsMkfsWroteThem) {
  const CTempFATDBR dbr(View(s_fat16), 512);
  ASSERT_EQ(dbr.GetFileSystemType(), kFatTypeFat16);
  EXPECT_TRUE(dbr.IsValidDBR());
  EXPECT_EQ(dbr.GetTotalSectors(), 65536u);
  EXPECT_EQ(dbr.GetNumberOfFat(), 2u);
  EXPECT_EQ(dbr.GetRootEntries(), 512u);
  EXPECT_NE(dbr.GetSectorsPerFat(), 0u);
  EXPECT_EQ(dbr.GetRootDirStartCluster(), 0u);
  EXPECT_TRUE(CTempFATDBR::SimpleCheck(View(s_fat16)));
}

TEST_F(FatBootSectors, Fat32FieldsAsMkfsWroteThem) {
  const CTempFATDBR dbr(View(s_fat32), 512);
  ASSERT_EQ(dbr.GetFileSystemType(), kFatTypeFat32);
  EXPECT_EQ(dbr.GetTotalSectors(), 131072u);
  EXPECT_EQ(dbr.GetRootDirStartCluster(), 2u);
  EXPECT_EQ(dbr.GetReservedSector(), dbr.GetFatTableStartSector());
}

TEST_F(FatBootSectors, Fat12AndAForeignSectorSizeAreNotRecognised) {
  EXPECT_EQ(CTempFATDBR(View(s_fat12), 512).GetFileSystemType(), kFatTypeNone);
  const CTempFATDBR other(View(s_fat16), 4096);
  EXPECT_EQ(other.GetFileSystemType(), kFatTypeNone);
  EXPECT_EQ(other.GetSectorsperCluster(), 0u);
  EXPECT_EQ(other.GetTotalSectors(), 0u);
}

TEST_F(FatBootSectors, LowerCaseTypeTextIsAccepted) {
  auto b = s_fat32;
  std::memcpy(b.data() + 82, "fat32   ", 8);
  EXPECT_EQ(CTempFATDBR(View(b), 512).GetFileSystemType(), kFatTypeFat32);
}

TEST_F(FatBootSectors, Fat16TotalFallsBackTo32BitField) {
  auto b = s_fat16;
  b[19] = 0x34;
  b[20] = 0x12;
  EXPECT_EQ(CTempFATDBR(View(b), 512).GetTotalSectors(), 0x1234u);
  b[19] = b[20] = 0;
  b[32] = 0x78;
  b[33] = 0x56;
  b[34] = b[35] = 0;
  EXPECT_EQ(CTempFATDBR(View(b), 512).GetTotalSectors(), 0x5678u);
}

struct Corruption {
  const char* name;
  std::size_t offset;
  std::vector<std::uint8_t> bytes;
};

TEST_F(FatBootSectors, OneFieldCorruptionsAreRefused) {
  const Corruption common[] = {
      {"no 55", 510, {0x00}},
      {"no AA", 511, {0x00}},
      {"bytes per sector 0", 11, {0, 0}},
      {"bytes per sector 768", 11, {0x00, 0x03}},
      {"bytes per sector 4096", 11, {0x00, 0x10}},
      {"sectors per cluster 0", 13, {0}},
      {"sectors per cluster 3", 13, {3}},
      {"sectors per cluster 255", 13, {255}},
      {"one FAT", 16, {1}},
      {"three FATs", 16, {3}},
  };
  const Corruption fat16Only[] = {
      {"type text", 54, {'F', 'A', 'T', '1', '2'}},
      {"200 root entries", 17, {200, 0}},
      {"root entries not whole sectors", 17, {0x08, 0x02}},
      {"sectors per FAT 0", 22, {0, 0}},
  };
  const Corruption fat32Only[] = {
      {"type text", 82, {'F', 'A', 'T', '1', '6'}},
      {"sectors per FAT 0", 36, {0, 0, 0, 0}},
  };
  auto check = [](std::vector<std::uint8_t> base, const Corruption& c) {
    SCOPED_TRACE(c.name);
    std::copy(c.bytes.begin(), c.bytes.end(), base.begin() + static_cast<std::ptrdiff_t>(c.offset));
    const CTempFATDBR dbr(ByteView(base.data(), base.size()), 512);
    EXPECT_EQ(dbr.GetFileSystemType(), kFatTypeNone);
    EXPECT_FALSE(dbr.IsValidDBR());
  };
  for (const auto& c : common) {
    check(s_fat16, c);
    check(s_fat32, c);
  }
  for (const auto& c : fat16Only) check(s_fat16, c);
  for (const auto& c : fat32Only) check(s_fat32, c);
}

TEST(FatBootSectorShort, ShortBuffersAreNotBootSectors) {
  std::vector<std::uint8_t> b(300, 0);
  EXPECT_EQ(CTempFATDBR(ByteView(b.data(), b.size()), 512).GetFileSystemType(), kFatTypeNone);
  EXPECT_FALSE(CTempFATDBR::SimpleCheck(ByteView(b.data(), b.size())));
  EXPECT_FALSE(CTempFATDBR::SimpleCheck(ByteView()));
}

}  // namespace
