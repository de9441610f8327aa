#pragma once
// exFAT volume recogniser. exFAT labels are not read: the label is empty.

#include "core/device/StorageDevice.h"
#include "core/volume/VolumeAnalyze.h"

class CExFatVolumeAnalyer final : public IVolumeAnalyze {
 public:
  explicit CExFatVolumeAnalyer(unsigned long long totalSectors) : m_totalSectors(totalSectors) {}

  int GetFileSystemType() override { return 7; }
  long long GetTotalSector() override { return static_cast<long long>(m_totalSectors); }
  // Writes the empty text when the buffer holds at least 2 bytes.
  void GetLabel(char* buffer, int length) override;

 private:
  unsigned long long m_totalSectors;
};

// Null unless one sector at `startSector` is a valid exFAT boot sector.
[[nodiscard]] IVolumeAnalyze* CreateExfatVolumeAnalyze(IStorageDevice* device, unsigned long long startSector);
