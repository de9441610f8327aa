#pragma once
// The volume list of a disk: its real volumes, then every partition that no
// volume stands for, presented as a virtual volume.

#include <vector>

#include "core/device/StorageDevice.h"
#include "core/model/ResultCode.h"

class CVolumePartitionConverter {
 public:
  // A new, opened virtual volume over the partition's window, with a volume
  // record copied from the partition record.
  [[nodiscard]] static RESULT Convert(IStorageDevice* partition, IStorageDevice*& volume);
};

class CMergeVolumeAndPartition {
 public:
  // A partition and a volume are one when they share the sector size and the
  // start sector and their sizes differ by less than 10 MiB + 1 byte.
  static bool Matches(IStorageDevice* volume, IStorageDevice* partition);
  // `out` receives the volumes, then the new virtual volumes (owned by the
  // caller). On failure `out` keeps what was merged; the code is returned.
  [[nodiscard]] static RESULT MergeAsVolume(const std::vector<IStorageDevice*>& volumes,
                                            const std::vector<IStorageDevice*>& partitions,
                                            std::vector<IStorageDevice*>& out);
};
