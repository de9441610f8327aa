#pragma once
// The machine's disks with their volumes and partitions, as devices with
// their information records.

#include <string>

#include "core/device/StorageDevice.h"
#include "core/model/ResultCode.h"

// Codes of device enumeration (module 0x0103).
enum EnumDeviceCode : std::uint32_t {
  kEnumNoDisk = 1,
  kEnumNotReady = 2,
  kEnumUnknownDisk = 5,
  kEnumNoRecord = 7,
  kEnumArrayTooSmall = 9,
};

// Where the system's view of its devices is read from (tests use a fake tree).
struct EnumSources {
  std::string sysfsRoot = "/sys";
  std::string deviceDir = "/dev";
  std::string mountInfo = "/proc/self/mountinfo";
};

class IEnumDeviceEx {
 public:
  virtual ~IEnumDeviceEx() = default;
  [[nodiscard]] virtual RESULT Init() = 0;
  virtual RESULT Uninit() = 0;
  // Two calls: a null array stores the count; an array of `count` entries
  // receives the devices (owned by the enumerator).
  [[nodiscard]] virtual RESULT EnumDiskDevice(IStorageDevice** array, int& count) = 0;
  [[nodiscard]] virtual RESULT EnumPartitionDevice(const IStorageDevice* disk, IStorageDevice** array, int& count) = 0;
  // Virtual volumes made from partitions are new on every filling call and
  // belong to the caller.
  [[nodiscard]] virtual RESULT EnumVolumeDevice(const IStorageDevice* disk, IStorageDevice** array, int& count) = 0;
};

// The process-wide enumerator.
IEnumDeviceEx* CreateEnumDeviceEx();
// A separate enumerator over other sources (tests).
IEnumDeviceEx* CreateEnumDeviceExFrom(const EnumSources& sources);

// Smallest medium listed, in bytes.
inline constexpr long long kMinListedDiskBytes = 8388608;
