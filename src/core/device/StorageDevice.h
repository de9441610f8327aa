#pragma once
// A readable sector device: a disk, a partition, a volume, an image or a
// wrapper over another device.

#include "core/model/ResultCode.h"

class IStorageDeviceData;

enum DeviceKind : int {
  kDeviceDisk = 0,
  kDevicePartition = 1,
  kDeviceVolume = 2,
  kDeviceWrapper = 3,
  kDeviceQdiImage = 4,
  kDeviceDmgImage = 5,
};

// Codes of the storage devices (module 0x010E).
enum StorageDeviceCode : std::uint32_t {
  kDevOpenOrReadFailed = 1,
  kDevIoctlUnsupported = 3,
  kDevBadArgument = 5,
  kDevNoPrivateData = 7,
};

class IStorageDevice {
 public:
  virtual ~IStorageDevice() = default;
  virtual int Open(char* path) = 0;
  virtual int Close() = 0;
  virtual int ReadSector(void* buffer, long long startSector, long long count) = 0;
  virtual int GetSectorSize() = 0;
  virtual long long GetTotalSectors() = 0;
  virtual int IOCtl(unsigned long long code, void* arg) = 0;
  virtual IStorageDeviceData* GetPrivateData() = 0;
  virtual void SetPrivateData(IStorageDeviceData* data) = 0;
  virtual int GetType() = 0;
  virtual RESULT GetLastError() = 0;
  virtual int IsPermitted() { return 1; }
  virtual void SetApfsDevicePath(char* /*path*/) {}
  virtual long long GetStartSector() { return 0; }
};
