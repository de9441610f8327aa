#pragma once
// Information records that every enumerated or image device carries, and the
// private-data objects that own them.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "core/model/SearcherTypes.h"  // FileSystemCode

class IStorageDevice;

// Bus types of a disk record.
enum DeviceBusType : std::uint32_t {
  kBusUnknown = 0,
  kBusAta = 1,
  kBusSata = 2,
  kBusScsi = 3,
  kBusUsb = 4,
  kBusVirtual = 5,
};

// Partition schemes of a disk record.
enum PartitionScheme : std::uint32_t {
  kSchemeNone = 0,
  kSchemeMbr = 1,
  kSchemeGpt = 2,
  kSchemeApm = 3,
};

// In-memory GUID layout: 32-bit, two 16-bit and eight single-byte parts,
// numeric parts little-endian.
using DeviceGuid = std::array<std::uint8_t, 16>;

// Field capacities of the records (the stored and displayed limits).
inline constexpr std::size_t kDeviceNameChars = 128;
inline constexpr std::size_t kBsdNameChars = 128;
inline constexpr std::size_t kLabelChars = 100;
inline constexpr std::size_t kVolumeNameChars = 1024;
inline constexpr std::size_t kApmTypeChars = 32;

// One whole disk (or a raw image file opened as a disk).
struct CCollectDiskDeviceInfoStruct {
  std::uint32_t reserved = 0;
  std::uint32_t busType = kBusUnknown;
  std::uint32_t partitionScheme = kSchemeNone;
  std::uint32_t writable = 0;
  std::string deviceName;  // model / entry name; empty when unknown
  std::string bsdName;     // kernel name (sdb, nvme0n1, loop3); sort key
  std::int64_t sectorSize = 512;
  std::int64_t totalSectors = 0;
  std::uint64_t cylinders = 0;  // totalSectors / 16065
  std::uint64_t heads = 255;
  std::uint64_t sectorsPerTrack = 63;
  std::uint32_t deviceId = 0;  // major << 24 | minor
};

// One partition-table entry of a disk.
struct CCollectedPartitionDeviceInfoStruct {
  std::uint32_t reserved = 0;
  std::uint32_t secondWord = 0;
  std::uint32_t fileSystem = kFsUnknown;  // FileSystemCode
  std::string label;
  std::int64_t sectorSize = 512;
  std::int64_t totalSectors = 0;
  std::uint32_t deviceId = 0;
  IStorageDevice* parentDisk = nullptr;  // not owned
  std::int32_t partitionIndex = -1;      // -1: whole-disk pseudo entry; sort key
  DeviceGuid gptTypeGuid{};
  DeviceGuid gptUniqueGuid{};
  std::string apmType;
  std::int64_t startSector = 0;  // within the disk
};

// One volume of a disk, or a partition shown as a volume.
struct CCollectedVolumeDeviceInfoStruct {
  std::uint32_t reserved = 0;
  std::uint32_t secondWord = 0;
  std::uint32_t fileSystem = kFsUnknown;  // FileSystemCode
  std::string label;
  std::string volumeName;
  std::string bsdName;  // kernel name (sdb1, nvme0n1p2); empty for converted partitions
  std::int64_t sectorSize = 512;
  std::int64_t totalSectors = 0;
  std::uint32_t deviceId = 0;
  IStorageDevice* parentDisk = nullptr;  // not owned
  std::int32_t partitionNumber = -1;     // -1: the whole disk; sort key
  DeviceGuid gptTypeGuid{};
  DeviceGuid gptUniqueGuid{};
  std::string apmType;
  std::int64_t startSector = 0;  // within the disk
  std::uint32_t mounted = 0;
};

// A volume record made from a partition record: code, label, geometry, id,
// disk, index, GUIDs, APM type and start; empty names, not mounted.
CCollectedVolumeDeviceInfoStruct VolumeInfoFromPartition(const CCollectedPartitionDeviceInfoStruct& partition);

// Cylinders of a disk record: total sectors / 16065, 0 for a negative total.
std::uint64_t CylindersOf(std::int64_t totalSectors);

// Information block of a QDI image; stored in the image and in saved scans.
struct CQDIDeviceInfoStruct {
  std::uint64_t sectorSize = 512;
  std::uint64_t totalSectors = 0;
  std::uint64_t dataOffset = 0;   // file offset of sector 0
  std::uint64_t fileSize = 0;     // the file is valid only when its size equals this
  std::string name;               // at most 127 bytes stored
  std::string path;               // at most 1023 bytes stored
  std::int64_t creationTime = 0;  // seconds since 1970
};

inline constexpr std::size_t kQdiInfoSize = 1192;

// Fixed little-endian form (1192 bytes). Strings longer than their field are
// cut; the stored name and path are always zero-terminated.
std::array<std::uint8_t, kQdiInfoSize> SerializeQdiInfo(const CQDIDeviceInfoStruct& info);
// Decodes the 1192-byte form; false when `size` is too small.
bool ParseQdiInfo(const std::uint8_t* bytes, std::size_t size, CQDIDeviceInfoStruct& out);

// Information of an Apple disk image; stored whole in saved scans.
struct CDMGDeviceInfoStruct {
  std::uint64_t sectorSize = 512;
  std::uint64_t totalSectors = 0;
  std::uint64_t dataOffset = 0;  // file offset of sector 0
  std::uint64_t fileSize = 0;
  std::string name;  // display name, at most 127 bytes stored
  std::string path;  // at most 1031 bytes stored
};

inline constexpr std::size_t kDmgInfoSize = 2088;

std::array<std::uint8_t, kDmgInfoSize> SerializeDmgInfo(const CDMGDeviceInfoStruct& info);
bool ParseDmgInfo(const std::uint8_t* bytes, std::size_t size, CDMGDeviceInfoStruct& out);

// Private-data family. Each object owns its record (deleted with the object);
// the setter replaces the held record and takes ownership of the new one.
class IStorageDeviceData {
 public:
  virtual ~IStorageDeviceData() = default;
};

class IDiskDeviceData : public IStorageDeviceData {
 public:
  virtual CCollectDiskDeviceInfoStruct* GetDiskInfo() = 0;
  virtual void SetDiskInfo(CCollectDiskDeviceInfoStruct* info) = 0;
};

class IVolumeDeviceData : public IStorageDeviceData {
 public:
  virtual CCollectedVolumeDeviceInfoStruct* GetVolumeInfo() = 0;
  virtual void SetVolumeInfo(CCollectedVolumeDeviceInfoStruct* info) = 0;
};

class IPartitionDeviceData : public IStorageDeviceData {
 public:
  virtual CCollectedPartitionDeviceInfoStruct* GetPartitionInfo() = 0;
  virtual void SetPartitionInfo(CCollectedPartitionDeviceInfoStruct* info) = 0;
};

class IDmgDeviceData : public IStorageDeviceData {
 public:
  virtual CDMGDeviceInfoStruct* GetDMGInfo() = 0;
  virtual void SetDMGInfo(CDMGDeviceInfoStruct* info) = 0;
};

class IQDIDeviceData : public IStorageDeviceData {
 public:
  virtual CQDIDeviceInfoStruct* GetQDIInfo() = 0;
  virtual void SetQDIInfo(CQDIDeviceInfoStruct* info) = 0;
};

// Factories: the new object owns `info` (which may be null). The caller owns
// the returned object (or hands it to a device with SetPrivateData).
IDiskDeviceData* CreateDiskDeviceData(CCollectDiskDeviceInfoStruct* info);
IVolumeDeviceData* CreateVolumeDeviceData(CCollectedVolumeDeviceInfoStruct* info);
IPartitionDeviceData* CreatePartitionDeviceData(CCollectedPartitionDeviceInfoStruct* info);
IDmgDeviceData* CreateDMGDeviceData(CDMGDeviceInfoStruct* info);
IQDIDeviceData* CreateQDIDeviceData(CQDIDeviceInfoStruct* info);

// Typed access to a device's record: null when the device is null, has no
// private data, or is not of that kind.
CCollectDiskDeviceInfoStruct* GetDiskInfo(IStorageDevice* device);
CCollectedVolumeDeviceInfoStruct* GetVolumeInfo(IStorageDevice* device);
CCollectedPartitionDeviceInfoStruct* GetPartitionInfo(IStorageDevice* device);
CDMGDeviceInfoStruct* GetDMGInfo(IStorageDevice* device);
CQDIDeviceInfoStruct* GetQDIInfo(IStorageDevice* device);
