#pragma once
// Order of device lists: disks by kernel name (byte-wise), partitions by
// index, volumes by partition number. Devices of different kinds, or without
// their record, never order before another.

#include <vector>

#include "core/device/StorageDevice.h"

class CDevListSortAlgorithm {
 public:
  static bool Less(IStorageDevice* a, IStorageDevice* b);
  static void Sort(std::vector<IStorageDevice*>& list);
};
