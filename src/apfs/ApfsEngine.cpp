#include "apfs/ApfsEngine.h"

#include "apfs/APFSDeepScan.h"
#include "apfs/APFSRecognize.h"
#include "apfs/ApfsVolumeNameSource.h"
#include "core/engines/EngineRegistry.h"

void RegisterApfsEngine() {
  engine_registry::RegisterCompleteSearcher(kSearcherApfs, CreateAPFSDeepSearcher);
  engine_registry::RegisterVolumeAnalyze(kAnalyzeApfs, CreateAPFSVolumeAnalyze);
  SetApfsVolumeNameSource(ApfsVolumeNameFromDevice);
}
