#include "core/controller/RecoveryController.h"

#include "core/controller/CompleteRecoveryController.h"
#include "core/controller/DeletedRecoveryController.h"

IRecoveryController* CreateRecoveryController(_RECOVERY_CONTROLLER_TYPE kind) {
  switch (kind) {
    case kControllerQuick:
      return new CDeletedRecoveryController();
    case kControllerComplete:
      return new CCompleteRecoveryController();
    case kControllerWholeDisk:
      return new CPartitionRecoveryController();
    default:
      return nullptr;
  }
}
