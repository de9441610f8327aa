#pragma once
// Result codes of the storage devices, stamped with the failing line.

#include "core/device/StorageDevice.h"
#include "core/model/ResultCode.h"

#define QV_DEVICE_RESULT(code) QV_RESULT(::result::kModuleStorageDevice, (code))
