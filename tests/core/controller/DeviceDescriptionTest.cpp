#include "core/controller/DeviceDescription.h"

#include <gtest/gtest.h>

#include "core/cache/PatternDevice.h"

using testsupport::PatternDevice;

TEST(DeviceDescription, NamesVolumesAndOwnImagesOnly) {
  PatternDevice volume(100, 512, kDeviceVolume);
  volume.SetVolumeRecord(kFsNtfs, "Data");
  EXPECT_EQ(device_description::GetDeviceDescription(&volume), "Data");
  EXPECT_EQ(device_description::GetVolumeFileSystemCode(&volume), kFsNtfs);

  // A record whose first word is set is not named.
  PatternDevice converted(100, 512, kDeviceVolume);
  auto* info = new CCollectedVolumeDeviceInfoStruct();
  info->reserved = 1;
  info->volumeName = "Other";
  converted.SetPrivateData(CreateVolumeDeviceData(info));
  EXPECT_EQ(device_description::GetDeviceDescription(&converted), "");

  PatternDevice image(100, 512, kDeviceQdiImage);
  auto* qdi = new CQDIDeviceInfoStruct();
  qdi->name = "backup of disk2";
  image.SetPrivateData(CreateQDIDeviceData(qdi));
  EXPECT_EQ(device_description::GetDeviceDescription(&image), "backup of disk2");
  EXPECT_EQ(device_description::GetVolumeFileSystemCode(&image), -1);

  PatternDevice disk(100, 512, kDeviceDisk);
  EXPECT_EQ(device_description::GetDeviceDescription(&disk), "");
  PatternDevice bare(100, 512, kDeviceVolume);
  EXPECT_EQ(device_description::GetDeviceDescription(&bare), "");
  EXPECT_EQ(device_description::GetVolumeFileSystemCode(&bare), -1);
  EXPECT_EQ(device_description::GetDeviceDescription(nullptr), "");
}
