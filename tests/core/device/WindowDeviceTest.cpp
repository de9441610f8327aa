#include "core/device/WindowDevice.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/device/DeviceTestFiles.h"
#include "support/MemoryDevice.h"

namespace {

using testsupport::MemoryDevice;

std::uint32_t CodeOf(IStorageDevice& device) { return result::CodeOf(device.GetLastError()); }

// A memory disk that carries a disk record.
class RecordDisk : public MemoryDevice {
 public:
  RecordDisk(long long sectors, int sectorSize)
      : MemoryDevice(devtest::PatternSectors(sectors, sectorSize), sectorSize) {
    auto* info = new CCollectDiskDeviceInfoStruct;
    info->sectorSize = sectorSize;
    info->totalSectors = sectors;
    SetPrivateData(CreateDiskDeviceData(info));
  }
};

TEST(WindowDeviceTest, PartitionReadsInsideTheWindow) {
  RecordDisk disk(100, 512);
  std::unique_ptr<CPartitionDevice> part(CreatePartitionDevice(&disk, 20, 30));
  ASSERT_EQ(part->Open(nullptr), 1);
  EXPECT_EQ(part->GetType(), kDevicePartition);
  EXPECT_EQ(part->GetStartSector(), 20);
  EXPECT_EQ(part->GetTotalSectors(), 30);
  std::vector<std::uint8_t> buffer(2 * 512);
  ASSERT_EQ(part->ReadSector(buffer.data(), 5, 2), 1);
  EXPECT_TRUE(devtest::SectorMatches(buffer.data(), 25, 512));
  EXPECT_TRUE(devtest::SectorMatches(buffer.data() + 512, 26, 512));
}

// Both window kinds cut a read at the window's end and zero the rest.
class WindowCutTest : public ::testing::TestWithParam<bool> {};

TEST_P(WindowCutTest, CutReadZeroFillsTheTail) {
  RecordDisk disk(100, 512);
  std::unique_ptr<IStorageDevice> window;
  if (GetParam()) {
    window.reset(new CPartitionVirtualVolumeDevice(&disk, 20, 30));
  } else {
    window.reset(CreatePartitionDevice(&disk, 20, 30));
  }
  std::vector<std::uint8_t> buffer(8 * 512, 0xEE);
  ASSERT_EQ(window->ReadSector(buffer.data(), 27, 8), 1);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(devtest::SectorMatches(buffer.data() + i * 512, 47 + i, 512));
  EXPECT_TRUE(devtest::AllZero(buffer.data() + 3 * 512, 5 * 512));
  ASSERT_EQ(disk.Reads().size(), 1u);
  EXPECT_EQ(disk.Reads()[0], std::make_pair(47LL, 3LL));
}

TEST_P(WindowCutTest, RefusedReads) {
  RecordDisk disk(100, 512);
  std::unique_ptr<IStorageDevice> window;
  if (GetParam()) {
    window.reset(new CPartitionVirtualVolumeDevice(&disk, 20, 30));
  } else {
    window.reset(CreatePartitionDevice(&disk, 20, 30));
  }
  std::vector<std::uint8_t> buffer(40 * 512);
  struct Case {
    const char* what;
    void* buffer;
    long long start;
    long long count;
  } cases[] = {
      {"null buffer", nullptr, 0, 1},         {"negative start", buffer.data(), -1, 1},
      {"start at end", buffer.data(), 30, 1}, {"count above window", buffer.data(), 0, 31},
      {"zero count", buffer.data(), 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(window->ReadSector(c.buffer, c.start, c.count), 0) << c.what;
    EXPECT_EQ(CodeOf(*window), kDevBadArgument) << c.what;
  }
  EXPECT_TRUE(disk.Reads().empty());
  EXPECT_EQ(window->IOCtl(0, nullptr), 0);
  EXPECT_EQ(CodeOf(*window), kDevIoctlUnsupported);
}

TEST_P(WindowCutTest, ParentFailureIsReported) {
  RecordDisk disk(100, 512);
  disk.FailSector(22);
  std::unique_ptr<IStorageDevice> window;
  if (GetParam()) {
    window.reset(new CPartitionVirtualVolumeDevice(&disk, 20, 30));
  } else {
    window.reset(CreatePartitionDevice(&disk, 20, 30));
  }
  std::vector<std::uint8_t> buffer(4 * 512, 0xEE);
  EXPECT_EQ(window->ReadSector(buffer.data(), 0, 4), 0);
  EXPECT_EQ(window->GetLastError(), disk.GetLastError());
}

INSTANTIATE_TEST_SUITE_P(Kinds, WindowCutTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "VirtualVolume" : "Partition"; });

TEST(WindowDeviceTest, WithoutParentFailsWithCodeSeven) {
  std::unique_ptr<CPartitionDevice> part(CreatePartitionDevice(nullptr, 0, 10));
  std::uint8_t buffer[512];
  EXPECT_EQ(part->ReadSector(buffer, 0, 1), 0);
  EXPECT_EQ(CodeOf(*part), kDevNoPrivateData);
  EXPECT_EQ(part->Open(nullptr), 0);
  EXPECT_EQ(CodeOf(*part), kDevNoPrivateData);
  EXPECT_EQ(part->Close(), 1);
}

TEST(WindowDeviceTest, OpenNeedsADiskRecordAndTakesItsSectorSize) {
  MemoryDevice bare(devtest::PatternSectors(16, 512));
  std::unique_ptr<CPartitionDevice> onBare(CreatePartitionDevice(&bare, 0, 8));
  EXPECT_EQ(onBare->Open(nullptr), 0);
  EXPECT_EQ(CodeOf(*onBare), kDevNoPrivateData);

  RecordDisk disk(16, 4096);
  std::unique_ptr<CPartitionDevice> part(CreatePartitionDevice(&disk, 2, 8));
  ASSERT_EQ(part->Open(nullptr), 1);
  EXPECT_EQ(part->GetSectorSize(), 4096);
  std::vector<std::uint8_t> buffer(4096);
  ASSERT_EQ(part->ReadSector(buffer.data(), 1, 1), 1);
  EXPECT_TRUE(devtest::SectorMatches(buffer.data(), 3, 4096));
}

TEST(WindowDeviceTest, WindowAndParentSectorSizesMustAgree) {
  RecordDisk disk(64, 512);
  std::unique_ptr<CPartitionVirtualVolumeDevice> window(new CPartitionVirtualVolumeDevice(&disk, 8, 8));
  EXPECT_EQ(window->GetSectorSize(), 512);
  auto* info = new CCollectedVolumeDeviceInfoStruct;
  info->sectorSize = 4096;  // the larger size wins, and no longer matches the parent
  info->totalSectors = 4;
  window->SetPrivateData(CreateVolumeDeviceData(info));
  EXPECT_EQ(window->GetSectorSize(), 4096);
  std::vector<std::uint8_t> buffer(4096, 0xEE);
  EXPECT_EQ(window->ReadSector(buffer.data(), 0, 1), 0);
  EXPECT_EQ(CodeOf(*window), kDevNoPrivateData);
  EXPECT_TRUE(disk.Reads().empty());
}

TEST(WindowDeviceTest, PartitionRecordGivesGeometry) {
  RecordDisk disk(64, 512);
  std::unique_ptr<CPartitionDevice> part(CreatePartitionDevice(&disk, 8, 4));
  auto* info = new CCollectedPartitionDeviceInfoStruct;
  info->sectorSize = 512;
  info->totalSectors = 16;
  part->SetPrivateData(CreatePartitionDeviceData(info));
  EXPECT_EQ(part->GetTotalSectors(), 16);
  EXPECT_EQ(GetPartitionInfo(part.get()), info);
  EXPECT_EQ(GetVolumeInfo(part.get()), nullptr);
  EXPECT_EQ(GetDiskInfo(part.get()), nullptr);
}

TEST(WindowDeviceTest, VirtualVolumeFromPartitionRecord) {
  RecordDisk disk(64, 512);
  std::unique_ptr<CPartitionDevice> part(CreatePartitionDevice(&disk, 8, 4));
  EXPECT_EQ(CreatePartitionVirtualVolumeDevice(part.get()), nullptr);  // no record

  auto* info = new CCollectedPartitionDeviceInfoStruct;
  info->parentDisk = &disk;
  info->startSector = 10;
  info->totalSectors = 5;
  info->sectorSize = 512;
  part->SetPrivateData(CreatePartitionDeviceData(info));
  std::unique_ptr<CPartitionVirtualVolumeDevice> volume(CreatePartitionVirtualVolumeDevice(part.get()));
  ASSERT_NE(volume, nullptr);
  EXPECT_EQ(volume->GetType(), kDeviceVolume);
  EXPECT_EQ(volume->GetParent(), &disk);
  EXPECT_EQ(volume->GetStartSector(), 10);
  EXPECT_EQ(volume->GetTotalSectors(), 5);
  std::vector<std::uint8_t> buffer(512);
  ASSERT_EQ(volume->ReadSector(buffer.data(), 4, 1), 1);
  EXPECT_TRUE(devtest::SectorMatches(buffer.data(), 14, 512));

  info->reserved = 1;
  EXPECT_EQ(CreatePartitionVirtualVolumeDevice(part.get()), nullptr);
  info->reserved = 0;
  MemoryDevice bare(devtest::PatternSectors(16, 512));
  info->parentDisk = &bare;  // not a disk with a record
  EXPECT_EQ(CreatePartitionVirtualVolumeDevice(part.get()), nullptr);
  info->parentDisk = nullptr;
  EXPECT_EQ(CreatePartitionVirtualVolumeDevice(part.get()), nullptr);
  EXPECT_EQ(CreatePartitionVirtualVolumeDevice(nullptr), nullptr);
}

}  // namespace
