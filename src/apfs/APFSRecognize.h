#pragma once
// Volume recognition for APFS: a container superblock at the start sector,
// with the first volume's name as its label.

#include <array>
#include <cstdint>
#include <string>

#include "core/device/StorageDevice.h"
#include "core/volume/VolumeAnalyze.h"

class APFSRecognize : public IVolumeAnalyze {
 public:
  APFSRecognize(IStorageDevice* device, unsigned long long startSector, long long totalSectors)
      : m_pDevice(device), m_startSector(startSector), m_totalSectors(totalSectors) {}

  int GetFileSystemType() override { return 9; }
  long long GetTotalSector() override { return m_totalSectors; }
  // Writes the first volume's name (at most 32 bytes, always terminated when
  // `size` allows) into `label`; leaves it untouched when none is found.
  void GetLabel(char* label, int size) override;

 private:
  IStorageDevice* m_pDevice;
  unsigned long long m_startSector;
  long long m_totalSectors;
};

[[nodiscard]] IVolumeAnalyze* CreateAPFSVolumeAnalyze(IStorageDevice* device, unsigned long long startSector);

struct ApfsFirstVolume {
  std::string name;
  std::array<std::uint8_t, 16> uuid{};
};

// The first volume named by the container at `startSector`: follows the
// superblock and its checkpoint copies (at most 32) to a volume superblock.
[[nodiscard]] bool FindApfsFirstVolume(IStorageDevice* device, unsigned long long startSector, ApfsFirstVolume& out);
