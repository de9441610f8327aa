#pragma once
// A volume ("/dev/sdb1", "/dev/nvme0n1p2"), mounted or not. A failed read
// posts event 1 to the process-wide event queue.

#include <string>

#include "core/device/FileBackedDevice.h"

class CMessageCenter;

class CVolumeDevice final : public CFileBackedDevice {
 public:
  explicit CVolumeDevice(const char* devPath);

  int Open(char* path) override { return OpenSystemDevice(path); }
  int GetType() override { return kDeviceVolume; }
  int IsPermitted() override { return m_permitted; }
  void SetApfsDevicePath(char* path) override;

  int ReOpen() { return ReOpenStoredPath(); }
  const std::string& GetApfsDevicePath() const { return m_apfsDevicePath; }

 private:
  void ApplyRecord() override;
  void OnReadFailed() override;

  CMessageCenter* m_messageCenter;
  std::string m_apfsDevicePath;
};

CVolumeDevice* CreateVolumeDevice(const char* devPath);
