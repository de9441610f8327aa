#include "exfat/ExFatEngine.h"

#include "core/engines/EngineRegistry.h"
#include "exfat/ExFatCompleteSearch.h"
#include "exfat/ExFatQuickSearch.h"

void RegisterExFatEngine() {
  engine_registry::RegisterQuickSearcher(kFsExFat, CreateEXFatQuickSearcher);
  engine_registry::RegisterCompleteSearcher(kSearcherExFat, CreateEXFatSearcher);
}
