// Third-party FAT and exFAT images (fat32-lib), against what fsstat reports.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "exfat/ExFatVolumeAnalyze.h"
#include "fat/FatVolumeAnalyze.h"
#include "fat/ImageFile.h"
#include "support/Absent.h"

namespace {

TEST(FatFixtures, Fat32LibImagesAreRecognisedWithTheirRootLabels) {
  const std::string dir = testsupport::FixturesDir();
  if (dir.empty() || !std::filesystem::exists(dir + "/fat32-lib"))
    QUARNEL_SKIP_NO_FIXTURE() << "fat32-lib fixtures absent";
  struct Case {
    const char* file;
    int fatType;  // 10: not FAT
    const char* label;
    bool exfat;
  };
  const Case cases[] = {
      {"complex.img.gz", 1, "MEETWISE", false},       {"fat16-test.img.gz", 1, "", false},
      {"fat32-test.img.gz", 2, "testdisk", false},    {"fat12-test.img.gz", 10, "", false},
      {"umlauts-label.img.gz", 1, "X______X", false}, {"exfat-test.dmg.gz", 10, "", true},
  };
  testsupport::TempDir work;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string gz = dir + "/fat32-lib/" + c.file;
    if (!std::filesystem::exists(gz)) continue;
    const std::string image = work.File("image.raw");
    ASSERT_EQ(testsupport::Run("gzip -dc '" + gz + "' > '" + image + "'"), 0);
    testsupport::MemoryDevice device = fattest::LoadImage(image);
    const std::unique_ptr<IVolumeAnalyze> fat(CreateFatVolumeAnalyze(&device, 0));
    char label[101] = {};
    fat->GetLabel(label, 100);
    EXPECT_EQ(fat->GetFileSystemType(), c.fatType);
    EXPECT_EQ(std::string(label), c.label);
    const std::unique_ptr<IVolumeAnalyze> exfat(CreateExfatVolumeAnalyze(&device, 0));
    EXPECT_EQ(exfat != nullptr, c.exfat);
    if (exfat) {
      EXPECT_EQ(exfat->GetTotalSector(), 40960000 / 512);
    }
  }
}

}  // namespace
