#pragma once
// Geometry and cluster arithmetic of one exFAT partition, and the making of
// file nodes from decoded entry sets.

#include <cstdint>
#include <vector>

#include "core/model/DataRun.h"
#include "exfat/ExFatFatTable.h"
#include "exfat/ExFatFileBaseInfo.h"

class CExFatFileNode;
class IStorageDevice;

class CExFatPartition {
 public:
  CExFatPartition() = default;
  virtual ~CExFatPartition() = default;
  CExFatPartition(const CExFatPartition&) = delete;
  CExFatPartition& operator=(const CExFatPartition&) = delete;

  // 0 for clusters 0 and 1.
  std::int64_t ConvertClusterNumToSector(std::uint32_t cluster) const;
  // The cluster holding `sector`, rounded up when it is not a cluster's first.
  std::uint32_t ConvertSectorToClusterNum(std::int64_t sector) const;
  // The next cluster of a chain; 0xFFFFFFFF when not below the cluster limit.
  std::uint32_t GetNextCluster(std::uint32_t cluster, bool noFatChain);
  // A new run list for the record's data (empty for folders).
  [[nodiscard]] IDataRunList* BuildFileDataRun(const _tagFileBaseInfo& info);
  [[nodiscard]] CExFatFileNode* BuildFile(const _tagFileBaseInfo& info);

  // The allocation bitmap (one bit per cluster from cluster 2), when known:
  // deleted files whose chain was freed continue through free clusters.
  void SetAllocationBitmap(std::vector<std::uint8_t> bitmap) { m_bitmap = std::move(bitmap); }
  // Reads the bitmap through the FAT from its first cluster; kept only when
  // whole and covering every cluster.
  void LoadAllocationBitmap(IStorageDevice* device, std::uint32_t firstCluster, std::uint64_t length);
  bool HasAllocationBitmap() const { return !m_bitmap.empty(); }
  bool IsClusterAllocated(std::uint32_t cluster) const;

  CFatTable m_fat;
  std::uint32_t m_sectorSize = 512;
  std::uint32_t m_sectorsPerCluster = 1;
  // Chains end at clusters not below this (cluster count + 2 at least).
  std::uint32_t m_clusterLimit = 0;
  std::uint32_t m_rootCluster = 0xFFFFFFFF;
  std::uint32_t m_bytesPerCluster = 512;
  std::int64_t m_heapStartSector = 0;
  std::int64_t m_startSector = 0;
  std::uint64_t m_totalSectors = 0;

 private:
  std::uint32_t NextFreeCluster(std::uint32_t after, std::uint64_t& budget) const;

  std::vector<std::uint8_t> m_bitmap;
};
