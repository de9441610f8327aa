#pragma once
// The machine's block devices as the kernel shows them in sysfs.

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Bus of a disk, in the codes of the device records.
enum BusType : int {
  kBusUnknown = 0,
  kBusAta = 1,
  kBusSata = 2,
  kBusScsi = 3,
  kBusUsb = 4,
  kBusVirtual = 5,
};

struct BlockDeviceInfo {
  std::string name;        // kernel name: sdb, sdb1, nvme0n1p2, loop3
  std::string parentDisk;  // partitions: the whole disk's kernel name
  bool isPartition = false;
  int partitionNumber = -1;    // partitions: the kernel's partition number
  std::uint64_t start512 = 0;  // partitions: first sector, in 512-byte units
  std::uint64_t size512 = 0;   // size in 512-byte units, whatever the sector size
  std::uint32_t logicalBlockSize = 512;
  bool readOnly = false;
  bool removable = false;
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  int bus = kBusUnknown;
  std::string vendor;
  std::string model;
  std::string loopBackingFile;  // loop devices: the attached file

  std::uint64_t SizeBytes() const { return size512 * 512; }
  std::uint64_t DeviceId() const { return (static_cast<std::uint64_t>(major) << 24) | minor; }
};

// Whole disks under <sysfsRoot>/class/block, without optical drives, RAM
// disks, zram and loop devices that have no backing file. Unsorted.
std::vector<BlockDeviceInfo> ListWholeDisks(const std::string& sysfsRoot = "/sys");
// The partitions the kernel shows for one disk, by partition number.
std::vector<BlockDeviceInfo> ListPartitions(const std::string& diskName, const std::string& sysfsRoot = "/sys");
// "/dev/" + kernel name.
std::string DevicePath(const std::string& kernelName);

}  // namespace platform
