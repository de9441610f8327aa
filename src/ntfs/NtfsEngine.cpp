#include "ntfs/NtfsEngine.h"

#include "core/engines/EngineRegistry.h"
#include "ntfs/NtfsQuickSearch.h"
#include "ntfs/NtfsSearchController.h"
#include "ntfs/NtfsVolumeAnalyze.h"
#include "ntfs/ResidentDataStream.h"

void RegisterNtfsEngine() {
  engine_registry::RegisterVolumeAnalyze(kAnalyzeNtfs, CreateNTFSVolumeAnalyze);
  engine_registry::RegisterQuickSearcher(kFsNtfs, CreateNTFSQuickSearcher);
  engine_registry::RegisterCompleteSearcher(kSearcherNtfs, CreateNTFSSearcher);
  RegisterNtfsResidentDataReaders();
}
