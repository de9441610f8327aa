// The FAT recogniser on volumes made by mkfs.vfat: type, size and the label of
// the root folder's volume-label entry.
#include <gtest/gtest.h>

#include <memory>

#include "fat/FatBootSector.h"
#include "fat/FatVolumeAnalyze.h"
#include "fat/ImageFile.h"
#include "support/Absent.h"

namespace {

using testsupport::MemoryDevice;

struct Found {
  int type;
  long long total;
  std::string label;
};

Found Recognise(IStorageDevice* device, unsigned long long start = 0) {
  const std::unique_ptr<IVolumeAnalyze> analyze(CreateFatVolumeAnalyze(device, start));
  EXPECT_NE(analyze, nullptr);
  char label[101] = {};
  analyze->GetLabel(label, 100);
  return {analyze->GetFileSystemType(), analyze->GetTotalSector(), label};
}

class FatVolumes : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testsupport::HaveProgram("mkfs.vfat")) QUARNEL_SKIP_NO_TOOL() << "needs mkfs.vfat";
  }
  std::string Make(const std::string& size, const std::string& options) {
    const std::string path = fattest::MakeImage(dir, "fat.img", size, "mkfs.vfat " + options);
    EXPECT_FALSE(path.empty());
    return path;
  }
  // First sector of the root folder of a FAT16 image (FAT32: of its first cluster).
  static long long RootSector(MemoryDevice& device) {
    const CTempFATDBR dbr(ByteView(device.Bytes().data(), 512), 512);
    long long sector = dbr.GetReservedSector() + static_cast<long long>(dbr.GetNumberOfFat()) * dbr.GetSectorsPerFat();
    return sector;
  }
  testsupport::TempDir dir;
};

TEST_F(FatVolumes, LabelsAndTypesAsMkfsWroteThem) {
  struct Case {
    const char* size;
    const char* options;
    int type;
    long long total;
    const char* label;
  };
  const Case cases[] = {
      {"32M", "-F 16 -n FAT16VOL", kFatTypeFat16, 65536, "FAT16VOL"},
      {"64M", "-F 32 -n 'MY DATA VOL'", kFatTypeFat32, 131072, "MY DATA VOL"},
      {"32M", "-F 16", kFatTypeFat16, 65536, ""},
      {"64M", "-F 32", kFatTypeFat32, 131072, ""},
      {"4M", "-F 12 -n SMALL", 10, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    MemoryDevice device = fattest::LoadImage(Make(c.size, c.options));
    const Found f = Recognise(&device);
    EXPECT_EQ(f.type, c.type);
    EXPECT_EQ(f.total, c.total);
    EXPECT_EQ(f.label, c.label);
  }
}

TEST_F(FatVolumes, DeletedLabelEntryIsPassedOver) {
  MemoryDevice device = fattest::LoadImage(Make("32M", "-F 16 -n GONE"));
  const long long root = RootSector(device);
  ASSERT_EQ(device.Bytes()[static_cast<std::size_t>(root * 512)], 'G');
  device.Bytes()[static_cast<std::size_t>(root * 512)] = 0xE5;
  const Found f = Recognise(&device);
  EXPECT_EQ(f.type, kFatTypeFat16);
  EXPECT_EQ(f.label, "");
}

TEST_F(FatVolumes, UnreadableRootKeepsTheVolumeWithoutLabel) {
  MemoryDevice device = fattest::LoadImage(Make("32M", "-F 16 -n HIDDEN"));
  device.FailSector(RootSector(device));
  const Found f = Recognise(&device);
  EXPECT_EQ(f.type, kFatTypeFat16);
  EXPECT_EQ(f.label, "");
}

TEST_F(FatVolumes, Fat32RootChainLoopEnds) {
  MemoryDevice device = fattest::LoadImage(Make("64M", "-F 32"));
  const CTempFATDBR dbr(ByteView(device.Bytes().data(), 512), 512);
  ASSERT_EQ(dbr.GetRootDirStartCluster(), 2u);
  // Root cluster 2 -> 3 -> 2 in both FATs; cluster 3 holds no entries.
  for (unsigned fat = 0; fat < 2; ++fat) {
    const std::size_t at = (dbr.GetReservedSector() + fat * dbr.GetSectorsPerFat()) * 512u;
    ByteWriter w(std::span<std::uint8_t>(device.Bytes()).subspan(at, 512));
    w.PutU32Le(8, 3);
    w.PutU32Le(12, 2);
  }
  const Found f = Recognise(&device);
  EXPECT_EQ(f.type, kFatTypeFat32);
  EXPECT_EQ(f.label, "");
}

TEST_F(FatVolumes, LabelOfAVolumeInsideADisk) {
  const std::string image = Make("32M", "-F 16 -n INSIDE");
  const std::string disk = dir.File("disk.img");
  ASSERT_EQ(testsupport::Run("truncate -s 40M '" + disk + "' && dd if='" + image + "' of='" + disk +
                             "' bs=512 seek=2048 conv=notrunc status=none"),
            0);
  MemoryDevice device = fattest::LoadImage(disk);
  EXPECT_EQ(Recognise(&device, 0).type, 10);
  const Found f = Recognise(&device, 2048);
  EXPECT_EQ(f.type, kFatTypeFat16);
  EXPECT_EQ(f.label, "INSIDE");
}

TEST(FatVolumeAnalyzeBasics, NoDeviceOrTooShortDeviceIsNotFat) {
  EXPECT_EQ(Recognise(nullptr).type, 10);
  MemoryDevice shortDevice(std::vector<std::uint8_t>(3 * 512, 0));
  EXPECT_EQ(Recognise(&shortDevice).type, 10);
}

TEST(FatVolumeAnalyzeBasics, GetLabelCopiesAtMostTheLengthAsked) {
  const std::unique_ptr<IVolumeAnalyze> analyze(CreateFatVolumeAnalyze(nullptr, 0));
  char buffer[4] = {'x', 'x', 'x', 'x'};
  analyze->GetLabel(buffer, 3);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(buffer[3], 'x');
}

}  // namespace
