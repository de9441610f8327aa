#pragma once
// GUID partition table reader: the primary header and array, or the backup
// pair at the disk end when the primary fails its checks.

#include <list>

#include "core/device/StorageDevice.h"
#include "core/partition/PartitionEntry.h"

class CBaseGPTAnalyzer {
 public:
  explicit CBaseGPTAnalyzer(IStorageDevice& disk) : m_disk(disk) {}

  // Appends the partitions larger than 8 MiB. With neither header usable the
  // table is damaged: the entries of the classic array at LBA 2 are kept and
  // the damage is reported.
  [[nodiscard]] RESULT Analyze(std::list<PartitionEntry>& out);

  static constexpr long long kMinPartitionBytes = 8LL * 1024 * 1024;

 private:
  IStorageDevice& m_disk;
};
