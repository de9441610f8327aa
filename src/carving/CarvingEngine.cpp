#include "carving/CarvingEngine.h"

#include "carving/RawSearchController.h"
#include "core/engines/EngineRegistry.h"

void RegisterCarvingEngine() { engine_registry::RegisterCompleteSearcher(kSearcherRawByType, CreateRAWSearcher); }
