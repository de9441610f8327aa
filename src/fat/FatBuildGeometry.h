#pragma once
// What one partition build knows: where its folders and data lie, and
// where its nodes go.

#include <cstdint>
#include <map>
#include <set>

#include "core/device/StorageDevice.h"
#include "core/model/Contracts.h"
#include "fat/FatBootSector.h"
#include "fat/FatTable.h"

class CFATFileNode;

struct FatBuildGeometry {
  IDirecotryTreeBuilder* builder = nullptr;
  IProgress* progress = nullptr;  // may be null
  CSearchedPartitionInfo* partition = nullptr;
  IStorageDevice* device = nullptr;
  enumFILE_SYSTEM_TYPE type = kFatTypeNone;
  std::uint64_t startSector = 0;
  std::uint32_t sectorsPerCluster = 0;
  std::uint64_t rootFirstSector = 0;   // FAT12/16 root folder
  std::uint32_t rootSectors = 0;       // FAT12/16 root folder length
  std::uint32_t rootFirstCluster = 0;  // FAT32
  int rootPresent = 0;
  std::uint64_t dataStart = 0;  // first sector of cluster 2
  std::uint64_t totalSectors = 0;
  IFATTable* fat = nullptr;  // not owned
  std::uint32_t sectorSize = 512;

  // First sector of cluster c (> 1), else 0.
  std::uint64_t ConvertClusterNumToSector(std::uint64_t c) const {
    return c > 1 ? dataStart + (c - 2) * sectorsPerCluster : 0;
  }
  std::uint64_t ConvertSectorToClusterNum(std::uint64_t s) const {
    return sectorsPerCluster == 0 || s < dataStart ? 0 : (s - dataStart) / sectorsPerCluster + 2;
  }
  bool IsFirsectorInCluster(std::uint64_t s) const {
    return sectorsPerCluster != 0 && s >= dataStart && (s - dataStart) % sectorsPerCluster == 0;
  }
  // A cluster number whose first sector lies inside the partition.
  bool ClusterInRange(std::uint64_t c) const {
    return c >= 2 && (c - 2) * static_cast<std::uint64_t>(sectorsPerCluster) < totalSectors;
  }
};

// Folder nodes by first cluster, and the folder clusters already parsed.
using FatFolderMap = std::map<std::uint32_t, CFATFileNode*>;
using FatVisitedClusters = std::set<std::uint32_t>;
