// Recognition and the volume label, on built containers, mkapfs containers
// and the fixtures.

#include <gtest/gtest.h>

#include <memory>

#include "apfs/APFSRecognize.h"
#include "apfs/ApfsImageBuilder.h"
#include "apfs/ApfsVolumeNameSource.h"
#include "core/device/DiskDevice.h"
#include "support/Absent.h"
#include "support/MemoryDevice.h"
#include "support/TempDir.h"

namespace apfstest {
namespace {

using testsupport::MemoryDevice;

std::string Label(IStorageDevice* device, unsigned long long start) {
  std::unique_ptr<IVolumeAnalyze> v(CreateAPFSVolumeAnalyze(device, start));
  if (!v) return "<none>";
  EXPECT_EQ(v->GetFileSystemType(), 9);
  EXPECT_EQ(v->GetTotalSector(), device->GetTotalSectors() - static_cast<long long>(start));
  char label[64] = {};
  v->GetLabel(label, sizeof label);
  return label;
}

TEST(ApfsRecognize, BuiltContainers) {
  Container c;
  c.volumeName = "Data";
  MemoryDevice plain(BuildContainer(c));
  EXPECT_EQ(Label(&plain, 0), "Data");

  c.volumeName = std::string(40, 'L');
  MemoryDevice longName(BuildContainer(c));
  EXPECT_EQ(Label(&longName, 0), std::string(32, 'L'));

  Bytes wide = BuildContainer(c);
  PutU32(wide, 36, 8192);
  SealAt(wide, 0);
  MemoryDevice wideDevice(wide);
  EXPECT_EQ(Label(&wideDevice, 0), "<none>");

  // The object map is damaged; the next superblock copy names an intact one.
  c.volumeName = "Older";
  Bytes damaged = BuildContainer(c);
  std::copy(damaged.begin(), damaged.begin() + kBlock, damaged.begin() + static_cast<long>(At(9)));
  std::copy(damaged.begin() + static_cast<long>(At(2)), damaged.begin() + static_cast<long>(At(3)),
            damaged.begin() + static_cast<long>(At(10)));
  PutU64(damaged, At(9, 160), 10);
  SealAt(damaged, 9);
  damaged[At(2, 100)] ^= 0xFF;  // checksum of the first object map fails
  PutU32(damaged, At(0, 136), 9);
  SealAt(damaged, 0);
  MemoryDevice older(damaged);
  EXPECT_EQ(Label(&older, 0), "Older");

  MemoryDevice big(BuildContainer(Container{}), 4096);
  EXPECT_EQ(Label(&big, 0), "TestVol");

  ApfsVolumeName name;
  ASSERT_TRUE(ApfsVolumeNameFromDevice(&plain, name));
  EXPECT_EQ(name.name, "Data");
  EXPECT_EQ(name.deviceIdentifier, "10111213-1415-1617-1819-1A1B1C1D1E1F");
  MemoryDevice empty(Bytes(8192, 0));
  EXPECT_FALSE(ApfsVolumeNameFromDevice(&empty, name));
  EXPECT_EQ(Label(&empty, 0), "<none>");
}

TEST(ApfsRecognize, MkapfsContainers) {
  if (!testsupport::HaveProgram("mkapfs")) QUARNEL_SKIP_NO_TOOL() << "mkapfs (apfsprogs) not installed";
  testsupport::TempDir tmp;
  const std::string image = tmp.File("c.img");
  ASSERT_EQ(
      testsupport::Run("truncate -s 1100M '" + image + "' && mkapfs -L 'Quarnel Vol' '" + image + "' >/dev/null 2>&1"),
      0);
  std::unique_ptr<CDiskDevice> disk(CreateDiskDevice(image.c_str()));
  ASSERT_NE(disk->Open(nullptr), 0);
  EXPECT_EQ(Label(disk.get(), 0), "Quarnel Vol");
  EXPECT_EQ(Label(disk.get(), 1), "<none>");
}

TEST(ApfsRecognize, Fixtures) {
  const std::string dir = testsupport::FixturesDir();
  if (dir.empty()) QUARNEL_SKIP_NO_FIXTURE() << "fixtures not available";
  const std::pair<const char*, const char*> cases[] = {
      {"dfvfs/apfs.raw", "apfs_test"},
      {"apfs-forensic/apfs_content.bin", "APFSP4"},
      {"apfs-forensic/apfs_container_chain.bin", "APFSORACLE"},
      {"apfs-forensic/apfs_nxsb_head.bin", ""},
  };
  for (const auto& [file, label] : cases) {
    SCOPED_TRACE(file);
    const std::string path = dir + "/" + file;
    std::unique_ptr<CDiskDevice> disk(CreateDiskDevice(path.c_str()));
    ASSERT_NE(disk->Open(nullptr), 0);
    EXPECT_EQ(Label(disk.get(), 0), label);
  }
}

}  // namespace
}  // namespace apfstest
