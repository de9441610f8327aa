#pragma once
// A whole disk ("/dev/sdb", "/dev/nvme0n1") or a raw image file opened as one.

#include <vector>

#include "core/device/FileBackedDevice.h"

class CDiskDevice final : public CFileBackedDevice {
 public:
  explicit CDiskDevice(const char* devPath) : CFileBackedDevice(devPath) {}

  int Open(char* path) override { return OpenSystemDevice(path); }
  int GetType() override { return kDeviceDisk; }
  int IsPermitted() override { return m_permitted; }

  int ReOpen() { return ReOpenStoredPath(); }
  // Replaces the disk's volume records with copies.
  void SetVolumes(const std::vector<CCollectedVolumeDeviceInfoStruct>& volumes) { m_volumes = volumes; }
  // Empties `out`, appends copies of the records; returns their count.
  int GetVolumes(std::vector<CCollectedVolumeDeviceInfoStruct>& out) const;

 private:
  void ApplyRecord() override;

  std::vector<CCollectedVolumeDeviceInfoStruct> m_volumes;
};

CDiskDevice* CreateDiskDevice(const char* devPath);
