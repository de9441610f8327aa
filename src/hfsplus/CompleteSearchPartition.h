#pragma once
// One candidate HFS+ volume of the complete scan: where it lies, the
// structures found for it on the raw device and the volume opened over it.

#include <cstdint>
#include <memory>

#include "core/device/WindowDevice.h"
#include "hfsplus/HfsPlusVolume.h"
#include "hfsplus/JournalLayout.h"
#include "hfsplus/VolumeHeader.h"

struct CompleteSearchPatition {
  long long startSector = -1;
  long long sectorCount = 0;
  std::uint32_t blockSize = 4096;
  int filesFound = 0;
  int foldersFound = 0;
  std::unique_ptr<HFSPlusVolumeHeader> volumeHeader;
  long long volumeHeaderSector = -1;
  std::unique_ptr<CPartitionVirtualVolumeDevice> virtualDevice;
  std::unique_ptr<CHFSPlusVolume> volume;
  std::unique_ptr<JournalInfoBlock> journalInfoBlock;
  long long journalInfoBlockSector = -1;
  std::unique_ptr<JournalHeader> journalHeader;
  long long journalHeaderSector = -1;
  long long lastHeaderNodeSector = -1;
  int partitionIndex = 0;

  // The header came from the main position (else from the alternate one).
  bool headerIsMain = false;
  // The start is borne out by more than the header's own position: the
  // catalog's header node lies where the header says, or both headers agree.
  bool placementConfirmed = false;
  // The start comes from a volume record of the disk.
  bool fromDiskRecord = false;
  // A volume was tried for this candidate (it is opened once).
  bool volumeTried = false;

  // Destroys the volume before the device it reads.
  ~CompleteSearchPatition() {
    volume.reset();
    virtualDevice.reset();
  }
};
