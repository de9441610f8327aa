#include "hfsplus/HfsPlusEngine.h"

#include "core/engines/EngineRegistry.h"
#include "hfsplus/CompleteSearcher.h"
#include "hfsplus/HfsPlusVolumeAnalyze.h"
#include "hfsplus/QuickSearcher.h"

void RegisterHfsPlusEngine() {
  engine_registry::RegisterVolumeAnalyze(kAnalyzeHfsPlus, CreateHFSPlusVolumeAnalyze);
  engine_registry::RegisterQuickSearcher(kFsHfsPlus, CreateHFSPlusQuickSearcher);
  engine_registry::RegisterCompleteSearcher(kSearcherHfsPlus, CreateHFSPlusSearcher);
}
