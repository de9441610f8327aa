#pragma once
// Makes the scan driver of one kind: 0 quick scan of a volume, 1 complete
// scan of a volume, 2 complete scan of a whole disk; null for any other
// kind. The caller frees the result with Release().

#include "core/model/Contracts.h"

[[nodiscard]] IRecoveryController* CreateRecoveryController(_RECOVERY_CONTROLLER_TYPE kind);
