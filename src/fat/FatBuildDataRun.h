#pragma once
// The cluster runs of a found file: live files follow their FAT chain;
// deleted files take the first cluster and then the following clusters the
// FAT marks free. Runs count clusters from cluster 2.

#include <cstdint>

#include "core/model/DataRun.h"
#include "fat/FatTable.h"

class CFATBuildDataRun {
 public:
  CFATBuildDataRun(IFATTable* fat, std::uint32_t sectorSize, std::uint32_t sectorsPerCluster,
                   std::uint64_t totalSectors)
      : m_fat(fat), m_sectorSize(sectorSize), m_sectorsPerCluster(sectorsPerCluster), m_totalSectors(totalSectors) {}

  // A new list (owned by the caller) or null.
  [[nodiscard]] IDataRunList* BuildDataRunList(std::uint32_t firstCluster, long long size, int deleted);

 private:
  IDataRunList* BuildLiveFileDataRunList(std::uint32_t firstCluster, long long size);
  IDataRunList* BuildDeleteFileDataRunList(std::uint32_t firstCluster, long long size);
  // Clusters 2 .. this-1 lie inside the partition.
  std::uint64_t ClusterLimit() const;

  IFATTable* m_fat;
  std::uint32_t m_sectorSize;
  std::uint32_t m_sectorsPerCluster;
  std::uint64_t m_totalSectors;
};
