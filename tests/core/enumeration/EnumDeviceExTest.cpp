#include "core/enumeration/EnumDeviceEx.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

#include "FakeMachine.h"
#include "core/device/DeviceData.h"
#include "core/device/DiskDevice.h"
#include "support/Absent.h"
#include "support/TempDir.h"

namespace {

using Enumerator = std::unique_ptr<IEnumDeviceEx>;

std::vector<IStorageDevice*> Disks(IEnumDeviceEx& e) {
  int count = 0;
  EXPECT_FALSE(result::Failed(e.EnumDiskDevice(nullptr, count)));
  std::vector<IStorageDevice*> out(static_cast<std::size_t>(count));
  if (count > 0) {
    EXPECT_FALSE(result::Failed(e.EnumDiskDevice(out.data(), count)));
  }
  return out;
}

std::vector<IStorageDevice*> Partitions(IEnumDeviceEx& e, IStorageDevice* disk) {
  int count = 0;
  EXPECT_FALSE(result::Failed(e.EnumPartitionDevice(disk, nullptr, count)));
  std::vector<IStorageDevice*> out(static_cast<std::size_t>(count));
  if (count > 0) {
    EXPECT_FALSE(result::Failed(e.EnumPartitionDevice(disk, out.data(), count)));
  }
  return out;
}

// Volumes, and the virtual ones the caller must destroy.
struct VolumeList {
  std::vector<IStorageDevice*> all;
  std::vector<std::unique_ptr<IStorageDevice>> owned;
};

VolumeList Volumes(IEnumDeviceEx& e, IStorageDevice* disk) {
  VolumeList v;
  int count = 0;
  EXPECT_FALSE(result::Failed(e.EnumVolumeDevice(disk, nullptr, count)));
  v.all.resize(static_cast<std::size_t>(count));
  if (count > 0) {
    EXPECT_FALSE(result::Failed(e.EnumVolumeDevice(disk, v.all.data(), count)));
  }
  for (IStorageDevice* d : v.all) {
    if (GetVolumeInfo(d) != nullptr && GetVolumeInfo(d)->bsdName.empty()) v.owned.emplace_back(d);
  }
  return v;
}

bool HaveSfdisk() { return testsupport::HaveProgram("sfdisk"); }

}  // namespace

TEST(EnumDeviceEx, DisksSortByteWiseAndSmallMediaAreLeftOut) {
  testsupport::TempDir tmp;
  FakeMachine m(tmp.Path());
  m.AddDisk("disk2", 16 << 20);
  m.AddDisk("disk10", 16 << 20);
  m.AddDisk("exact", 8388608);
  m.AddDisk("small", 8388608 - 512);
  Enumerator e(CreateEnumDeviceExFrom(m.Sources()));
  ASSERT_FALSE(result::Failed(e->Init()));
  const auto disks = Disks(*e);
  ASSERT_EQ(disks.size(), 3u);
  EXPECT_EQ(GetDiskInfo(disks[0])->bsdName, "disk10");
  EXPECT_EQ(GetDiskInfo(disks[1])->bsdName, "disk2");
  EXPECT_EQ(GetDiskInfo(disks[2])->bsdName, "exact");
  const auto* rec = GetDiskInfo(disks[1]);
  EXPECT_EQ(rec->sectorSize, 512);
  EXPECT_EQ(rec->totalSectors, (16 << 20) / 512);
  EXPECT_EQ(rec->cylinders, static_cast<std::uint64_t>(rec->totalSectors / 16065));
  EXPECT_EQ(rec->deviceName, "ACME Disk disk2");
  EXPECT_EQ(disks[1]->GetTotalSectors(), rec->totalSectors);
}

TEST(EnumDeviceEx, ArraysComeInTwoCalls) {
  testsupport::TempDir tmp;
  FakeMachine m(tmp.Path());
  m.AddDisk("sda", 16 << 20);
  m.AddDisk("sdb", 16 << 20);
  Enumerator e(CreateEnumDeviceExFrom(m.Sources()));
  int count = 0;
  EXPECT_EQ(result::CodeOf(e->EnumDiskDevice(nullptr, count)), kEnumNotReady);
  ASSERT_FALSE(result::Failed(e->Init()));
  IStorageDevice* one[1] = {};
  count = 1;
  const RESULT r = e->EnumDiskDevice(one, count);
  EXPECT_TRUE(result::Failed(r));
  EXPECT_EQ(result::CodeOf(r), kEnumArrayTooSmall);
  EXPECT_EQ(one[0], nullptr);
  count = 0;
  EXPECT_EQ(result::CodeOf(e->EnumPartitionDevice(nullptr, nullptr, count)), kEnumNoRecord);
  int dummy = 0;
  EXPECT_EQ(result::CodeOf(e->EnumVolumeDevice(reinterpret_cast<IStorageDevice*>(&dummy), nullptr, count)),
            kEnumUnknownDisk);
  EXPECT_FALSE(result::Failed(e->Uninit()));
  EXPECT_EQ(result::CodeOf(e->Uninit()), kEnumNotReady);
}

TEST(EnumDeviceEx, NoDiskAtAll) {
  testsupport::TempDir tmp;
  FakeMachine m(tmp.Path());
  Enumerator e(CreateEnumDeviceExFrom(m.Sources()));
  EXPECT_EQ(result::CodeOf(e->Init()), kEnumNoDisk);
}

TEST(EnumDeviceEx, DiskWithoutTableIsItsOnlyVolumeAndPartition) {
  testsupport::TempDir tmp;
  FakeMachine m(tmp.Path());
  m.AddDisk("sdc", 32 << 20);
  m.SetMountInfo("30 1 8:0 / /media/stick rw - vfat /dev/sdc rw\n");
  Enumerator e(CreateEnumDeviceExFrom(m.Sources()));
  ASSERT_FALSE(result::Failed(e->Init()));
  IStorageDevice* disk = Disks(*e).at(0);
  const auto parts = Partitions(*e, disk);
  ASSERT_EQ(parts.size(), 1u);
  EXPECT_EQ(GetPartitionInfo(parts[0])->partitionIndex, -1);
  EXPECT_EQ(GetPartitionInfo(parts[0])->totalSectors, (32 << 20) / 512);
  auto vols = Volumes(*e, disk);
  ASSERT_EQ(vols.all.size(), 1u);
  EXPECT_TRUE(vols.owned.empty());  // the real medium stands for the pseudo partition
  const auto* v = GetVolumeInfo(vols.all[0]);
  EXPECT_EQ(v->bsdName, "sdc");
  EXPECT_EQ(v->partitionNumber, -1);
  EXPECT_EQ(v->mounted, 1u);
  EXPECT_EQ(v->volumeName, "stick");
  EXPECT_EQ(v->fileSystem, static_cast<std::uint32_t>(kFsUnknown));
}

// A partition the kernel does not show becomes a virtual volume after the
// real ones, even when another partition has the same size.
TEST(EnumDeviceEx, PartitionsWithoutAMediumBecomeVirtualVolumes) {
  if (!HaveSfdisk()) QUARNEL_SKIP_NO_TOOL() << "sfdisk is not installed";
  testsupport::TempDir tmp;
  FakeMachine m(tmp.Path());
  m.AddDisk("sdd", 64 << 20);
  ASSERT_EQ(testsupport::Run("printf 'label: dos\\nstart=2048,size=20480,type=83\\nstart=22528,size=20480,type=7\\n"
                             "start=43008,size=10240,type=c\\n' | sfdisk -q " +
                             m.DevicePath("sdd") + " >/dev/null"),
            0);
  m.AddPartition("sdd", "sdd2", 2, 22528, 20480);
  Enumerator e(CreateEnumDeviceExFrom(m.Sources()));
  ASSERT_FALSE(result::Failed(e->Init()));
  IStorageDevice* disk = Disks(*e).at(0);
  EXPECT_EQ(GetDiskInfo(disk)->partitionScheme, static_cast<std::uint32_t>(kSchemeMbr));

  const auto parts = Partitions(*e, disk);
  ASSERT_EQ(parts.size(), 3u);
  EXPECT_EQ(GetPartitionInfo(parts[0])->partitionIndex, 1);
  EXPECT_EQ(GetPartitionInfo(parts[0])->startSector, 2048);
  EXPECT_EQ(GetPartitionInfo(parts[2])->partitionIndex, 3);

  auto vols = Volumes(*e, disk);
  ASSERT_EQ(vols.all.size(), 3u);
  EXPECT_EQ(GetVolumeInfo(vols.all[0])->bsdName, "sdd2");
  EXPECT_EQ(GetVolumeInfo(vols.all[0])->startSector, 22528);
  EXPECT_EQ(vols.owned.size(), 2u);
  EXPECT_EQ(GetVolumeInfo(vols.all[1])->partitionNumber, 1);
  EXPECT_EQ(GetVolumeInfo(vols.all[1])->startSector, 2048);
  EXPECT_EQ(GetVolumeInfo(vols.all[2])->partitionNumber, 3);
  EXPECT_EQ(vols.all[1]->GetTotalSectors(), 20480);

  // A virtual volume reads its window of the disk.
  std::vector<std::uint8_t> a(512), b(512);
  ASSERT_NE(vols.all[2]->ReadSector(a.data(), 0, 1), 0);
  ASSERT_NE(disk->ReadSector(b.data(), 43008, 1), 0);
  EXPECT_EQ(a, b);

  // The disk keeps copies of its volumes' records.
  std::vector<CCollectedVolumeDeviceInfoStruct> kept;
  auto* d = dynamic_cast<CDiskDevice*>(disk);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->GetVolumes(kept), 1);
}

TEST(EnumDeviceEx, LoopDeviceOfTheMachineIsListed) {
  testsupport::Lack lack = testsupport::MissingLoop();
  if (lack.empty()) lack = testsupport::MissingTool({"sfdisk"});
  if (!lack.empty()) QUARNEL_SKIP_LACK(lack);
  testsupport::TempDir tmp;
  const std::string img = tmp.File("loop.img");
  ASSERT_EQ(testsupport::Run("truncate -s 48M " + img), 0);
  ASSERT_EQ(
      testsupport::Run("printf 'label: dos\\nstart=2048,size=40960,type=83\\n' | sfdisk -q " + img + " >/dev/null"), 0);
  const std::string out = tmp.File("loopdev");
  if (testsupport::Run("losetup -f --show -r " + img + " > " + out + " 2>/dev/null") != 0) {
    QUARNEL_SKIP_LACK(testsupport::MissingCapability("losetup could not attach a loop device"));
  }
  std::string dev;
  std::ifstream(out) >> dev;
  struct Detach {
    std::string dev;
    ~Detach() { testsupport::Run("losetup -d " + dev + " 2>/dev/null"); }
  } detach{dev};
  const std::string name = dev.substr(dev.find_last_of('/') + 1);

  Enumerator e(CreateEnumDeviceExFrom(EnumSources{}));
  ASSERT_FALSE(result::Failed(e->Init()));
  IStorageDevice* mine = nullptr;
  for (IStorageDevice* d : Disks(*e)) {
    if (GetDiskInfo(d)->bsdName == name) mine = d;
  }
  ASSERT_NE(mine, nullptr) << name << " not listed";
  EXPECT_EQ(GetDiskInfo(mine)->busType, static_cast<std::uint32_t>(kBusVirtual));
  EXPECT_EQ(GetDiskInfo(mine)->totalSectors, (48 << 20) / 512);
  const auto parts = Partitions(*e, mine);
  ASSERT_EQ(parts.size(), 1u);
  EXPECT_EQ(GetPartitionInfo(parts[0])->startSector, 2048);
  auto vols = Volumes(*e, mine);
  ASSERT_GE(vols.all.size(), 1u);
  bool found = false;
  for (IStorageDevice* v : vols.all) found = found || GetVolumeInfo(v)->startSector == 2048;
  EXPECT_TRUE(found);
}
