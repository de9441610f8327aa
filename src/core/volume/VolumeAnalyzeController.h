#pragma once
// Decides which file system starts at a sector: asks the registered
// recognisers in their fixed order (FAT, exFAT, NTFS, HFS+, APFS).

#include <string>

#include "core/device/StorageDevice.h"
#include "core/volume/VolumeAnalyze.h"

class IVolumeAnalyzeController {
 public:
  virtual ~IVolumeAnalyzeController() = default;
  // The first recogniser whose code is not 10, or null. It stays owned by the
  // controller.
  virtual IVolumeAnalyze* GetVolumeAnzlyzer() = 0;
};

// A new controller; the caller deletes it, which deletes every recogniser.
[[nodiscard]] IVolumeAnalyzeController* CreateVolumeAnalyzeController(IStorageDevice* device,
                                                                      unsigned long long startSector);

// What recognition found: the code (10 when nothing recognised it), the
// label (at most 100 bytes) and the volume's sector count.
struct RecognizedVolume {
  int fileSystem = 10;
  std::string label;
  long long totalSectors = 0;
};

RecognizedVolume RecognizeVolume(IStorageDevice* device, unsigned long long startSector);
