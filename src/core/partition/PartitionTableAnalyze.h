#pragma once
// Reads the partition table of a whole disk: MBR with its extended chain,
// GUID partition table or Apple partition map. Never writes.

#include <cstdint>
#include <list>

#include "core/device/StorageDevice.h"
#include "core/partition/PartitionEntry.h"

// Codes of the partition-table reader (module 0x0110).
enum PartitionTableCode : std::uint32_t {
  kPtNotUsable = 3,  // not a disk, record word not 0, dynamic disk, bad APM sector size
  kPtNullDevice = 5,
  kPtDamaged = 6,  // a damaged table
  kPtNoDiskRecord = 7,
  kPtSmallSector = 8,  // sector size below 512 (or unusably large)
};

class IPartitionTableAnalyze {
 public:
  virtual ~IPartitionTableAnalyze() = default;
  // Empties `out` and fills it in table order. On failure `out` keeps the
  // entries read before the failure.
  [[nodiscard]] virtual RESULT AnalyzePartitionTable(IStorageDevice* disk, std::list<PartitionEntry>& out) = 0;
};

// A new reader; the caller deletes it.
[[nodiscard]] IPartitionTableAnalyze* CreatePartitionTableAnalyze();
