// Random and bit-flipped FAT and exFAT boot sectors through the recognisers.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>

#include "exfat/ExFatVolumeAnalyze.h"
#include "fat/FatVolumeAnalyze.h"
#include "fat/ImageFile.h"
#include "support/Absent.h"

namespace {

void Recognise(testsupport::MemoryDevice& device) {
  const std::unique_ptr<IVolumeAnalyze> fat(CreateFatVolumeAnalyze(&device, 0));
  char label[101] = {};
  fat->GetLabel(label, 100);
  const std::unique_ptr<IVolumeAnalyze> exfat(CreateExfatVolumeAnalyze(&device, 0));
  if (exfat) exfat->GetLabel(label, 100);
}

TEST(FatBootSectorFuzz, FlippedSectorsOfRealVolumesNeverMisbehave) {
  if (!testsupport::HaveProgram("mkfs.vfat") || !testsupport::HaveProgram("mkfs.exfat")) {
    QUARNEL_SKIP_NO_TOOL() << "needs mkfs.vfat and mkfs.exfat";
  }
  testsupport::TempDir dir;
  const std::string images[] = {fattest::MakeImage(dir, "f16.img", "32M", "mkfs.vfat -F 16 -n A"),
                                fattest::MakeImage(dir, "f32.img", "64M", "mkfs.vfat -F 32 -n B"),
                                fattest::MakeImage(dir, "ex.img", "16M", "mkfs.exfat")};
  std::mt19937 rng(99);
  for (const std::string& image : images) {
    ASSERT_FALSE(image.empty());
    std::vector<std::uint8_t> bytes = fattest::ReadBytes(image);
    bytes.resize(2 * 1024 * 1024);  // boot area, FATs and the root folder
    testsupport::MemoryDevice device(bytes);
    for (int iteration = 0; iteration < 1000; ++iteration) {
      std::copy(bytes.begin(), bytes.begin() + 512, device.Bytes().begin());
      const int flips = 1 + static_cast<int>(rng() % 6);
      for (int f = 0; f < flips; ++f) device.Bytes()[rng() % 512] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
      Recognise(device);
    }
  }
}

TEST(FatBootSectorFuzz, RandomSectorsWithSignaturesNeverMisbehave) {
  std::mt19937 rng(5);
  testsupport::MemoryDevice device(std::vector<std::uint8_t>(64 * 512, 0));
  for (int iteration = 0; iteration < 3000; ++iteration) {
    for (std::size_t i = 0; i < 4 * 512; ++i) device.Bytes()[i] = static_cast<std::uint8_t>(rng());
    device.Bytes()[510] = 0x55;
    device.Bytes()[511] = 0xAA;
    device.Bytes()[11] = 0x00;
    device.Bytes()[12] = 0x02;
    device.Bytes()[16] = 2;
    if (iteration % 3 == 0) std::memcpy(device.Bytes().data() + 54, "FAT16   ", 8);
    if (iteration % 3 == 1) std::memcpy(device.Bytes().data() + 82, "FAT32   ", 8);
    if (iteration % 3 == 2) std::memcpy(device.Bytes().data() + 3, "EXFAT   ", 8);
    Recognise(device);
  }
}

}  // namespace
