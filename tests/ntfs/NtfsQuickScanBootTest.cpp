#include <gtest/gtest.h>

#include "ntfs/NtfsQuickSearch.h"
#include "support/FakeSinks.h"
#include "support/MemoryDevice.h"

namespace {

std::vector<std::uint8_t> BootVolume(std::uint8_t recordSizeByte) {
  std::vector<std::uint8_t> v(64 * 512, 0);
  const char id[] = "NTFS    ";
  for (int i = 0; i < 8; ++i) v[3 + i] = static_cast<std::uint8_t>(id[i]);
  v[0x0B] = 0x00;
  v[0x0C] = 0x02;
  v[0x0D] = 8;
  v[0x28] = 64;
  v[0x30] = 2;
  v[0x38] = 3;
  v[0x40] = recordSizeByte;
  v[0x1FE] = 0x55;
  v[0x1FF] = 0xAA;
  return v;
}

}  // namespace

// Record sizes other than 1 KiB and 4 KiB are refused before anything is read.
TEST(NtfsQuickScanBoot, UnusableRecordSizesAreRefused) {
  for (const std::uint8_t byte : {0xE1, 0x7F, 0x40, 0xF0}) {
    testsupport::MemoryDevice device(BootVolume(byte), 512, kDeviceVolume);
    testsupport::FakeProgress progress;
    CNTFSQuickSearch search;
    const RESULT r = search.QuickSearchFiles(&device, &progress);
    EXPECT_EQ(result::CodeOf(r), kNtfsQuickBadBootSector) << int(byte);
    EXPECT_EQ(result::ModuleOf(r), result::kModuleNtfsQuickSearch);
  }
  // A valid size with no $MFT behind it.
  testsupport::MemoryDevice device(BootVolume(0xF6), 512, kDeviceVolume);
  testsupport::FakeProgress progress;
  CNTFSQuickSearch search;
  EXPECT_EQ(result::CodeOf(search.QuickSearchFiles(&device, &progress)), kNtfsQuickNoMft);
  EXPECT_EQ(result::CodeOf(search.QuickSearchFiles(nullptr, &progress)), kNtfsQuickBadArgument);
}
