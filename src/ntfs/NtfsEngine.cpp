#include "ntfs/NtfsEngine.h"

#include "core/engines/EngineRegistry.h"
#include "ntfs/NtfsVolumeAnalyze.h"

void RegisterNtfsEngine() { engine_registry::RegisterVolumeAnalyze(kAnalyzeNtfs, CreateNTFSVolumeAnalyze); }
