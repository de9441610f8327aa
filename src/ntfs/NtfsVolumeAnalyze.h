#pragma once
// NTFS volume recogniser. The label is not read: it is always empty.

#include "core/device/StorageDevice.h"
#include "core/volume/VolumeAnalyze.h"

class CNTFSVolumeAnalyer final : public IVolumeAnalyze {
 public:
  explicit CNTFSVolumeAnalyer(long long totalSectors) : m_totalSectors(totalSectors) {}

  int GetFileSystemType() override { return 3; }
  long long GetTotalSector() override { return m_totalSectors; }
  // Writes the empty text when the buffer holds at least 2 bytes.
  void GetLabel(char* buffer, int length) override;

 private:
  long long m_totalSectors;
};

// Null unless one sector at `startSector` is a fully valid NTFS boot sector.
[[nodiscard]] IVolumeAnalyze* CreateNTFSVolumeAnalyze(IStorageDevice* device, unsigned long long startSector);
