#include "fat/FatEngine.h"

#include "core/engines/EngineRegistry.h"
#include "fat/FatCompleteSearcher.h"
#include "fat/FatQuickSearcher.h"
#include "fat/FatVolumeAnalyze.h"

void RegisterFatEngine() {
  engine_registry::RegisterVolumeAnalyze(kAnalyzeFat, CreateFatVolumeAnalyze);
  // FAT12 volumes reach the searcher too, which refuses them.
  engine_registry::RegisterQuickSearcher(kFsFat12, CreateFATQuickSearcher);
  engine_registry::RegisterQuickSearcher(kFsFat16, CreateFATQuickSearcher);
  engine_registry::RegisterQuickSearcher(kFsFat32, CreateFATQuickSearcher);
  engine_registry::RegisterCompleteSearcher(kSearcherFat, CreateFATSearcher);
}
