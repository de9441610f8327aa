#pragma once
// Recognises an HFS+ or HFSX volume from the sector that holds byte 1024.

#include "core/device/StorageDevice.h"
#include "core/volume/VolumeAnalyze.h"

class CHFSPlusVolumeAnalyze : public IVolumeAnalyze {
 public:
  CHFSPlusVolumeAnalyze(IStorageDevice* device, unsigned long long startSector);

  int GetFileSystemType() override { return m_iFileSystem; }
  long long GetTotalSector() override { return m_llTotalSectors; }
  // The label is always empty.
  void GetLabel(char* buffer, int length) override;

 private:
  int m_iFileSystem = kFsUnknown;
  long long m_llTotalSectors = 0;
  char m_label[104] = {};
};

[[nodiscard]] IVolumeAnalyze* CreateHFSPlusVolumeAnalyze(IStorageDevice* device, unsigned long long startSector);
