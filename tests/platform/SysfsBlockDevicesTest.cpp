#include "platform/SysfsBlockDevices.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

// A fake sysfs: devices/<path>/block/<disk> with class/block/<name> links.
class FakeSysfs {
 public:
  explicit FakeSysfs(const fs::path& root) : m_root(root) { fs::create_directories(root / "class/block"); }

  fs::path AddDisk(const std::string& name, const std::string& devicePath, std::uint64_t size512,
                   std::uint32_t lbs = 512) {
    const fs::path dir = m_root / "devices" / devicePath / "block" / name;
    fs::create_directories(dir / "queue");
    Write(dir / "size", std::to_string(size512));
    Write(dir / "queue/logical_block_size", std::to_string(lbs));
    Write(dir / "ro", "0");
    Write(dir / "removable", "1");
    Write(dir / "dev", "8:" + std::to_string(m_minor));
    m_minor += 16;
    fs::create_symlink(fs::relative(dir, m_root / "class/block"), m_root / "class/block" / name);
    return dir;
  }

  void AddPartition(const fs::path& diskDir, const std::string& name, int number, std::uint64_t start,
                    std::uint64_t size) {
    const fs::path dir = diskDir / name;
    fs::create_directories(dir);
    Write(dir / "partition", std::to_string(number));
    Write(dir / "start", std::to_string(start));
    Write(dir / "size", std::to_string(size));
    Write(dir / "dev", "8:" + std::to_string(number));
    fs::create_symlink(fs::relative(dir, m_root / "class/block"), m_root / "class/block" / name);
  }

  static void Write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text << "\n";
  }

 private:
  fs::path m_root;
  std::uint32_t m_minor = 0;
};

const platform::BlockDeviceInfo* Find(const std::vector<platform::BlockDeviceInfo>& list, const std::string& name) {
  auto it = std::find_if(list.begin(), list.end(), [&](const auto& d) { return d.name == name; });
  return it == list.end() ? nullptr : &*it;
}

}  // namespace

TEST(SysfsBlockDevices, ListsWholeDisksAndLeavesOutOpticalRamAndIdleLoops) {
  testsupport::TempDir tmp;
  FakeSysfs sys(tmp.Path());
  const fs::path sda = sys.AddDisk("sda", "pci0000:00/0000:00:1f.2/ata1/host0/target0:0:0/0:0:0:0", 1000000);
  FakeSysfs::Write(tmp.Path() / "class/ata_link/link1/sata_spd", "6.0 Gbps");
  sys.AddDisk("sdb", "pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0", 64000, 4096);
  sys.AddDisk("sr0", "pci0000:00/ata2/host1/target1:0:0/1:0:0:0", 100);
  sys.AddDisk("ram0", "virtual", 100);
  sys.AddDisk("zram0", "virtual", 100);
  sys.AddDisk("loop0", "virtual", 0);
  const fs::path loop1 = sys.AddDisk("loop1", "virtual", 20480);
  FakeSysfs::Write(loop1 / "loop/backing_file", "/tmp/disk.img");
  sys.AddDisk("nvme0n1", "pci0000:00/0000:00:1d.0/0000:3d:00.0/nvme/nvme0", 2000000);
  sys.AddPartition(sda, "sda1", 1, 2048, 4096);

  const auto disks = platform::ListWholeDisks(tmp.Path().string());
  ASSERT_EQ(disks.size(), 4u);
  const auto* a = Find(disks, "sda");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->bus, platform::kBusSata);
  EXPECT_EQ(a->SizeBytes(), 1000000ull * 512);
  EXPECT_TRUE(a->removable);
  const auto* b = Find(disks, "sdb");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->bus, platform::kBusUsb);
  EXPECT_EQ(b->logicalBlockSize, 4096u);
  EXPECT_EQ(b->SizeBytes(), 64000ull * 512);  // sysfs size is in 512-byte units
  const auto* l = Find(disks, "loop1");
  ASSERT_NE(l, nullptr);
  EXPECT_EQ(l->bus, platform::kBusVirtual);
  EXPECT_EQ(l->loopBackingFile, "/tmp/disk.img");
  ASSERT_NE(Find(disks, "nvme0n1"), nullptr);
  EXPECT_EQ(Find(disks, "sr0"), nullptr);
  EXPECT_EQ(Find(disks, "sda1"), nullptr);
}

TEST(SysfsBlockDevices, ListsPartitionsByNumber) {
  testsupport::TempDir tmp;
  FakeSysfs sys(tmp.Path());
  const fs::path sda = sys.AddDisk("sda", "pci0000:00/host0/target0:0:0/0:0:0:0", 1000000, 4096);
  sys.AddPartition(sda, "sda5", 5, 90000, 100);
  sys.AddPartition(sda, "sda1", 1, 2048, 4096);
  const auto parts = platform::ListPartitions("sda", tmp.Path().string());
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(parts[0].name, "sda1");
  EXPECT_EQ(parts[0].partitionNumber, 1);
  EXPECT_EQ(parts[0].start512, 2048u);
  EXPECT_EQ(parts[0].parentDisk, "sda");
  EXPECT_EQ(parts[0].logicalBlockSize, 4096u);
  EXPECT_EQ(parts[1].partitionNumber, 5);
  EXPECT_TRUE(platform::ListPartitions("sdz", tmp.Path().string()).empty());
}

TEST(SysfsBlockDevices, MissingRootGivesNothing) {
  EXPECT_TRUE(platform::ListWholeDisks("/nonexistent-sysfs").empty());
  EXPECT_EQ(platform::DevicePath("nvme0n1p2"), "/dev/nvme0n1p2");
}
