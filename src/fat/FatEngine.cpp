#include "fat/FatEngine.h"

#include "core/engines/EngineRegistry.h"
#include "fat/ExFatVolumeAnalyze.h"
#include "fat/FatVolumeAnalyze.h"

void RegisterFatEngine() {
  engine_registry::RegisterVolumeAnalyze(kAnalyzeFat, CreateFatVolumeAnalyze);
  engine_registry::RegisterVolumeAnalyze(kAnalyzeExFat, CreateExfatVolumeAnalyze);
}
