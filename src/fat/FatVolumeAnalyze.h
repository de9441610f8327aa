#pragma once
// FAT12/16/32 volume recogniser.

#include <array>

#include "core/device/StorageDevice.h"
#include "core/volume/VolumeAnalyze.h"

class CFatVolumeAnalyze final : public IVolumeAnalyze {
 public:
  CFatVolumeAnalyze() = default;
  // Reads 4 sectors at `startSector`; a FAT16/FAT32 boot sector there sets
  // the type, the total sectors and the label.
  void init(IStorageDevice* device, unsigned long long startSector);

  int GetFileSystemType() override { return m_type; }
  long long GetTotalSector() override { return static_cast<long long>(m_totalSectors); }
  // Copies min(length, 100) bytes of the zero-filled label area.
  void GetLabel(char* buffer, int length) override;

 private:
  int m_type = 10;
  std::array<char, 100> m_label{};
  unsigned long long m_totalSectors = 0;
};

// Never null; type 10 when the volume is not FAT. The caller deletes it.
[[nodiscard]] IVolumeAnalyze* CreateFatVolumeAnalyze(IStorageDevice* device, unsigned long long startSector);
