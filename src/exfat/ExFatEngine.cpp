#include "exfat/ExFatEngine.h"

#include "core/engines/EngineRegistry.h"
#include "exfat/ExFatCompleteSearch.h"
#include "exfat/ExFatQuickSearch.h"
#include "exfat/ExFatVolumeAnalyze.h"

void RegisterExFatEngine() {
  engine_registry::RegisterVolumeAnalyze(kAnalyzeExFat, CreateExfatVolumeAnalyze);
  engine_registry::RegisterQuickSearcher(kFsExFat, CreateEXFatQuickSearcher);
  engine_registry::RegisterCompleteSearcher(kSearcherExFat, CreateEXFatSearcher);
}
