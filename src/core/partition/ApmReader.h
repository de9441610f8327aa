#pragma once
// Apple partition map reader.

#include <list>

#include "core/device/StorageDevice.h"
#include "core/partition/PartitionEntry.h"

class CAPMAnaly {
 public:
  explicit CAPMAnaly(IStorageDevice& disk) : m_disk(disk) {}

  // Appends the data partitions (map, free-space and driver entries are left
  // out); on failure `out` keeps the entries read before it.
  [[nodiscard]] RESULT Analyze(std::list<PartitionEntry>& out);

 private:
  IStorageDevice& m_disk;
};
