#include "support/ScanRun.h"

#include "core/filetype/RecoveryFilter.h"
#include "core/model/SearcherTypes.h"

namespace testsupport {

void ScanDevice(ScanRun& run, IStorageDevice* device, _RECOVERY_CONTROLLER_TYPE kind) {
  IRecoveryFilter* filter = CreateFilter();
  filter->SetScanType(kind == kControllerQuick ? kScanQuick : kScanComplete);
  filter->SetFilterTypes(kFilterAll);
  run.controller.reset(CreateRecoveryController(kind));
  if (!run.controller) return;
  run.initialized = run.controller->Initialize(filter);
  run.result = run.controller->StartDataRecovery(device, &run.progress, &run.tree);
}

}  // namespace testsupport
