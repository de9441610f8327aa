#pragma once
// The list layer of enumeration: disks, the volumes the system shows inside a
// disk, and the partitions its table lists.

#include <list>
#include <vector>

#include "core/device/StorageDevice.h"
#include "core/enumeration/EnumDeviceEx.h"
#include "core/partition/PartitionEntry.h"

class CEnumDevice {
 public:
  explicit CEnumDevice(EnumSources sources) : m_sources(std::move(sources)) {}

  // Each empties `out` (without destroying what it held) and fills it with
  // new devices the caller owns.
  void EnumDiskDevice(std::vector<IStorageDevice*>& out);
  void EnumVolumeDevice(IStorageDevice* disk, std::vector<IStorageDevice*>& out);
  void EnumPartitionDevice(IStorageDevice* disk, std::vector<IStorageDevice*>& out);

 private:
  EnumSources m_sources;
};

// The disk's partition entries; a disk without a table gets one pseudo entry
// (index -1) for the whole disk. A failing reader's entries stand as read.
std::list<PartitionEntry> ReadPartitionEntries(IStorageDevice* disk);
