#pragma once
// Reads a FAT volume's label from the volume-label entry of its root folder.

#include <cstdint>
#include <string>

#include "core/device/StorageDevice.h"
#include "fat/FatBootSector.h"

class CFATVolume {
 public:
  explicit CFATVolume(IStorageDevice* device);

  // First sector of a data cluster (>= 2): FAT32 after the FATs, FAT12/16
  // after the root folder too. -1 for other types.
  static long long ConvertClusterToSector(long long volumeStart, const CTempFATDBR& dbr, std::uint32_t cluster);

  // True with a label; false with none, on a read failure or a damaged entry.
  bool GetPartitionLabel(long long volumeStart, const CTempFATDBR& dbr, std::string& label);

  // At most this many root-folder clusters are examined.
  static constexpr std::uint32_t kMaxRootClusters = 65536;

 private:
  bool GetFatLabel(long long volumeStart, const CTempFATDBR& dbr, std::string& label);
  bool GetFat32Label(long long volumeStart, const CTempFATDBR& dbr, std::string& label);
  // 1: label found; 0: none in this chunk; -1: read failure.
  int AnalyzeDirClusterToGetLabel(long long sector, std::uint32_t sectorCount, std::string& label);

  IStorageDevice* m_device;
  std::uint32_t m_sectorSize;
};
