#pragma once
// The table through which engines reach the core: each engine library
// registers its factories; the controllers and volume recognition look them
// up. A missing factory yields no searcher.

#include "core/model/Contracts.h"
#include "core/volume/VolumeAnalyze.h"

using QuickSearcherFactory = IQuickFileSystemSearchController* (*)();
using CompleteSearcherFactory = ICompleteFileSystemSearchController* (*)();
using VolumeAnalyzeFactory = IVolumeAnalyze* (*)(IStorageDevice* device, unsigned long long startSector);

// Recognisers are asked in this order.
enum VolumeAnalyzeOrder : int {
  kAnalyzeFat = 0,
  kAnalyzeExFat = 1,
  kAnalyzeNtfs = 2,
  kAnalyzeHfsPlus = 3,
  kAnalyzeApfs = 4,
  kAnalyzeCount = 5,
};

namespace engine_registry {

// Quick searcher for one file-system code (0..10).
void RegisterQuickSearcher(int fileSystemCode, QuickSearcherFactory factory);
// Complete searcher of one searcher type (31..37).
void RegisterCompleteSearcher(_tagSearcherType type, CompleteSearcherFactory factory);
void RegisterVolumeAnalyze(VolumeAnalyzeOrder order, VolumeAnalyzeFactory factory);
// Forgets every factory (tests).
void Clear();

[[nodiscard]] IQuickFileSystemSearchController* CreateQuickSearcher(int fileSystemCode);
[[nodiscard]] ICompleteFileSystemSearchController* CreateCompleteSearcher(_tagSearcherType type);
[[nodiscard]] VolumeAnalyzeFactory GetVolumeAnalyzeFactory(VolumeAnalyzeOrder order);

}  // namespace engine_registry
