#pragma once
// MBR reader: the four primary entries and the chain of extended boot records.

#include <list>

#include "core/device/StorageDevice.h"
#include "core/partition/PartitionEntry.h"

class CPartitionTableChainAnalyzer {
 public:
  explicit CPartitionTableChainAnalyzer(IStorageDevice& disk) : m_disk(disk) {}

  // Appends the partitions to `out`; on failure `out` keeps what was found.
  [[nodiscard]] RESULT Analyze(std::list<PartitionEntry>& out);

  // At most this many extended boot records are followed in one chain.
  static constexpr int kMaxChainRecords = 128;

 private:
  [[nodiscard]] RESULT WalkChain(long long base, int& nextIndex, std::list<PartitionEntry>& out);
  void Add(int index, long long start, long long count, std::list<PartitionEntry>& out) const;

  IStorageDevice& m_disk;
};
