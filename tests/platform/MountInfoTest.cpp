#include "platform/MountInfo.h"

#include <gtest/gtest.h>

TEST(MountInfo, ParsesDeviceNumbersAndEscapedMountPoints) {
  const std::string text =
      "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
      "40 22 8:17 / /media/My\\040Disk rw,nosuid shared:5 master:2 - vfat /dev/sdb1 rw\n"
      "garbage line\n"
      "41 22 0:45 / /proc rw - proc proc rw\n";
  const auto mounts = platform::ParseMountInfo(text);
  ASSERT_EQ(mounts.size(), 3u);
  EXPECT_EQ(platform::MountPointOf(mounts, 8, 17), "/media/My Disk");
  EXPECT_EQ(mounts[1].fsType, "vfat");
  EXPECT_EQ(mounts[1].source, "/dev/sdb1");
  EXPECT_EQ(platform::MountPointOf(mounts, 8, 1), "/");
  EXPECT_EQ(platform::MountPointOf(mounts, 9, 9), "");
}

TEST(MountInfo, ReadsThisProcess) {
  const auto mounts = platform::ReadMountInfo();
  EXPECT_FALSE(mounts.empty());
}
