#pragma once
// The candidate partitions of a complete NTFS sweep, ordered by cluster base
// sector and cluster size; two candidates with both equal are the same
// partition, and evidence merges into every candidate of that equal range.

#include <map>
#include <memory>
#include <utility>

#include "ntfs/SearchedNtfsPartitionInfo.h"

class CNTFSPartitionInfoBuilder {
 public:
  using Key = std::pair<long long, int>;  // cluster base sector, sectors per cluster
  using Set = std::multimap<Key, std::unique_ptr<CSearchedNTFSPartitionInfo>>;
  // Most candidates kept; evidence past it only merges.
  static constexpr std::size_t kMaxCandidates = 500000;

  CNTFSPartitionInfoBuilder(long long deviceTotalSectors, int sectorSize)
      : m_llDeviceSectors(deviceTotalSectors), m_iSectorSize(sectorSize) {}

  static Key KeyOf(const CSearchedNTFSPartitionInfo& p) { return {p.m_llClusterBaseSector, p.m_iSectorsPerCluster}; }

  // A candidate for a file whose first cluster `lcn` starts at `sector`:
  // null when the implied cluster base lies before the device or too close.
  [[nodiscard]] std::unique_ptr<CSearchedNTFSPartitionInfo> BuildFromFile(long long sector, long long lcn,
                                                                          int sectorsPerCluster, unsigned flags) const;
  // For every equal candidate: flags = add | (flags without `clear`); a
  // candidate left with none is dropped. True when an equal one existed.
  bool AdjustPartitionBuildFromFlag(const CSearchedNTFSPartitionInfo& candidate, unsigned add, unsigned clear);
  // Merges `candidate`'s flags into equal ones, or inserts it when none exist.
  // Returns the inserted candidate or null.
  CSearchedNTFSPartitionInfo* AddOrMerge(std::unique_ptr<CSearchedNTFSPartitionInfo> candidate);
  CSearchedNTFSPartitionInfo* Insert(std::unique_ptr<CSearchedNTFSPartitionInfo> candidate);

  Set& Candidates() { return m_set; }
  long long DeviceTotalSectors() const { return m_llDeviceSectors; }
  int SectorSize() const { return m_iSectorSize; }

 private:
  long long m_llDeviceSectors;
  int m_iSectorSize;
  Set m_set;
};
