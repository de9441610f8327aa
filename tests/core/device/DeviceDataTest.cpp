#include "core/device/DeviceData.h"

#include <gtest/gtest.h>

#include <memory>

#include "core/device/DiskDevice.h"

namespace {

TEST(DeviceDataTest, FactoriesOwnTheirRecordsAndAcceptNull) {
  std::unique_ptr<IDiskDeviceData> empty(CreateDiskDeviceData(nullptr));
  EXPECT_EQ(empty->GetDiskInfo(), nullptr);
  std::unique_ptr<IVolumeDeviceData> volume(CreateVolumeDeviceData(new CCollectedVolumeDeviceInfoStruct));
  ASSERT_NE(volume->GetVolumeInfo(), nullptr);
  volume->SetVolumeInfo(nullptr);
  EXPECT_EQ(volume->GetVolumeInfo(), nullptr);
  std::unique_ptr<IPartitionDeviceData> part(CreatePartitionDeviceData(new CCollectedPartitionDeviceInfoStruct));
  std::unique_ptr<IQDIDeviceData> qdi(CreateQDIDeviceData(new CQDIDeviceInfoStruct));
  std::unique_ptr<IDmgDeviceData> dmg(CreateDMGDeviceData(new CDMGDeviceInfoStruct));
  EXPECT_NE(part->GetPartitionInfo(), nullptr);
  EXPECT_NE(qdi->GetQDIInfo(), nullptr);
  EXPECT_NE(dmg->GetDMGInfo(), nullptr);
}

TEST(DeviceDataTest, TypedGettersTellKindsApart) {
  std::unique_ptr<CDiskDevice> disk(CreateDiskDevice("/nonexistent"));
  EXPECT_EQ(GetDiskInfo(disk.get()), nullptr);
  EXPECT_EQ(GetDiskInfo(nullptr), nullptr);
  auto* record = new CCollectDiskDeviceInfoStruct;
  disk->SetPrivateData(CreateDiskDeviceData(record));
  EXPECT_EQ(GetDiskInfo(disk.get()), record);
  EXPECT_EQ(GetVolumeInfo(disk.get()), nullptr);
  EXPECT_EQ(GetPartitionInfo(disk.get()), nullptr);
  EXPECT_EQ(GetQDIInfo(disk.get()), nullptr);
  EXPECT_EQ(GetDMGInfo(disk.get()), nullptr);
  disk->SetPrivateData(CreateDiskDeviceData(nullptr));
  EXPECT_EQ(GetDiskInfo(disk.get()), nullptr);
}

TEST(DeviceDataTest, VolumeFromPartitionCarriesThePartitionsFields) {
  int parent = 0;
  CCollectedPartitionDeviceInfoStruct p;
  p.reserved = 0;
  p.secondWord = 4;
  p.fileSystem = kFsExFat;
  p.label = "CAMERA";
  p.sectorSize = 4096;
  p.totalSectors = 1234;
  p.deviceId = (8u << 24) | 17;
  p.parentDisk = reinterpret_cast<IStorageDevice*>(&parent);
  p.partitionIndex = 3;
  p.gptTypeGuid[0] = 0xA2;
  p.gptUniqueGuid[15] = 0x5C;
  p.apmType = "Apple_HFS";
  p.startSector = 2048;
  const CCollectedVolumeDeviceInfoStruct v = VolumeInfoFromPartition(p);
  EXPECT_EQ(v.secondWord, 4u);
  EXPECT_EQ(v.fileSystem, static_cast<std::uint32_t>(kFsExFat));
  EXPECT_EQ(v.label, "CAMERA");
  EXPECT_EQ(v.sectorSize, 4096);
  EXPECT_EQ(v.totalSectors, 1234);
  EXPECT_EQ(v.deviceId, p.deviceId);
  EXPECT_EQ(v.parentDisk, p.parentDisk);
  EXPECT_EQ(v.partitionNumber, 3);
  EXPECT_EQ(v.gptTypeGuid, p.gptTypeGuid);
  EXPECT_EQ(v.gptUniqueGuid, p.gptUniqueGuid);
  EXPECT_EQ(v.apmType, "Apple_HFS");
  EXPECT_EQ(v.startSector, 2048);
  EXPECT_TRUE(v.volumeName.empty());
  EXPECT_TRUE(v.bsdName.empty());
  EXPECT_EQ(v.mounted, 0u);
}

TEST(DeviceDataTest, Cylinders) {
  EXPECT_EQ(CylindersOf(2000000000), 124494u);
  EXPECT_EQ(CylindersOf(16064), 0u);
  EXPECT_EQ(CylindersOf(-5), 0u);
}

TEST(DeviceDataTest, QdiBlockLayoutIsLittleEndianAtFixedOffsets) {
  CQDIDeviceInfoStruct info;
  info.sectorSize = 4096;
  info.totalSectors = 0x0102030405LL;
  info.dataOffset = 4096;
  info.fileSize = 0x1122334455667788ULL;
  info.name = std::string(200, 'n');  // cut to 127 bytes
  info.path = "/images/a.qdi";
  info.creationTime = 1700000000;
  const auto bytes = SerializeQdiInfo(info);
  EXPECT_EQ(bytes[0], 0x00);
  EXPECT_EQ(bytes[1], 0x10);
  EXPECT_EQ(bytes[8], 0x05);
  EXPECT_EQ(bytes[12], 0x01);
  EXPECT_EQ(bytes[24], 0x88);
  EXPECT_EQ(bytes[31], 0x11);
  EXPECT_EQ(bytes[32], 'n');
  EXPECT_EQ(bytes[158], 'n');
  EXPECT_EQ(bytes[159], 0);
  EXPECT_EQ(bytes[160], '/');
  EXPECT_EQ(bytes[1184], 1700000000 & 0xFF);

  CQDIDeviceInfoStruct back;
  ASSERT_TRUE(ParseQdiInfo(bytes.data(), bytes.size(), back));
  EXPECT_EQ(back.sectorSize, 4096u);
  EXPECT_EQ(back.totalSectors, info.totalSectors);
  EXPECT_EQ(back.dataOffset, 4096u);
  EXPECT_EQ(back.fileSize, info.fileSize);
  EXPECT_EQ(back.name, std::string(127, 'n'));
  EXPECT_EQ(back.path, "/images/a.qdi");
  EXPECT_EQ(back.creationTime, 1700000000);
  EXPECT_FALSE(ParseQdiInfo(bytes.data(), bytes.size() - 1, back));
}

TEST(DeviceDataTest, StoredNameStopsAtByte159EvenWithoutTerminator) {
  std::array<std::uint8_t, kQdiInfoSize> bytes{};
  for (size_t i = 32; i < 160 + 1024; ++i) bytes[i] = 'x';  // no terminator anywhere
  CQDIDeviceInfoStruct info;
  ASSERT_TRUE(ParseQdiInfo(bytes.data(), bytes.size(), info));
  EXPECT_EQ(info.name.size(), 127u);
  EXPECT_EQ(info.path.size(), 1024u);
}

TEST(DeviceDataTest, DmgRecordLayout) {
  CDMGDeviceInfoStruct info;
  info.sectorSize = 512;
  info.totalSectors = 2048;
  info.fileSize = 2048 * 512 + 512;
  info.name = "disk.dmg";
  info.path = "/home/u/disk.dmg";
  const auto bytes = SerializeDmgInfo(info);
  EXPECT_EQ(bytes[0], 0x00);
  EXPECT_EQ(bytes[1], 0x02);
  EXPECT_EQ(bytes[32], 'd');
  EXPECT_EQ(bytes[1056], '/');
  for (size_t i = 160; i < 1056; ++i) ASSERT_EQ(bytes[i], 0) << i;
  CDMGDeviceInfoStruct back;
  ASSERT_TRUE(ParseDmgInfo(bytes.data(), bytes.size(), back));
  EXPECT_EQ(back.totalSectors, 2048u);
  EXPECT_EQ(back.fileSize, info.fileSize);
  EXPECT_EQ(back.name, "disk.dmg");
  EXPECT_EQ(back.path, "/home/u/disk.dmg");
  EXPECT_FALSE(ParseDmgInfo(bytes.data(), 100, back));
}

}  // namespace
