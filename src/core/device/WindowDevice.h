#pragma once
// A window of sectors over a parent device (not owned; it must outlive the
// window). Reads are cut at the window's end and the rest of the buffer is
// zero-filled. Window and parent must use the same sector size.

#include <cstdint>
#include <memory>

#include "core/device/DeviceData.h"
#include "core/device/StorageDevice.h"
#include "core/device/SweepRead.h"

class CWindowDevice : public IStorageDevice, public ISweepReadable {
 public:
  // The parent's private data must be a disk record; the window takes its
  // sector size.
  int Open(char* path) override;
  int Close() override;
  int ReadSector(void* buffer, long long startSector, long long count) override;
  int ReadSweepSectors(void* buffer, long long startSector, long long count) override;
  int GetSectorSize() override { return static_cast<int>(m_sectorSize); }
  long long GetTotalSectors() override { return m_totalSectors; }
  int IOCtl(unsigned long long code, void* arg) override;
  IStorageDeviceData* GetPrivateData() override { return m_data.get(); }
  void SetPrivateData(IStorageDeviceData* data) override;
  RESULT GetLastError() override { return m_lastError; }
  long long GetStartSector() override { return m_startSector; }

  IStorageDevice* GetParent() const { return m_parent; }

 protected:
  CWindowDevice(IStorageDevice* parent, long long startSector, long long totalSectors);
  virtual void ApplyRecord() = 0;

  RESULT m_lastError = 0;
  IStorageDevice* m_parent;
  std::uint32_t m_sectorSize = 512;
  long long m_startSector;
  long long m_totalSectors;
  std::unique_ptr<IStorageDeviceData> m_data;

 private:
  int Read(void* buffer, long long startSector, long long count, bool sweep);
};

// A partition-table entry of a disk.
class CPartitionDevice final : public CWindowDevice {
 public:
  CPartitionDevice(IStorageDevice* parent, long long startSector, long long totalSectors)
      : CWindowDevice(parent, startSector, totalSectors) {}
  int GetType() override { return kDevicePartition; }

 private:
  void ApplyRecord() override;
};

// A partition window shown as a volume.
class CPartitionVirtualVolumeDevice final : public CWindowDevice {
 public:
  CPartitionVirtualVolumeDevice(IStorageDevice* parent, long long startSector, long long totalSectors)
      : CWindowDevice(parent, startSector, totalSectors) {}
  int GetType() override { return kDeviceVolume; }

 private:
  void ApplyRecord() override;
};

CPartitionDevice* CreatePartitionDevice(IStorageDevice* parent, long long startSector, long long totalSectors);
// A virtual volume over the disk named by a partition device's record (first
// word 0, parent disk set); null when any condition fails.
CPartitionVirtualVolumeDevice* CreatePartitionVirtualVolumeDevice(IStorageDevice* partitionDevice);
