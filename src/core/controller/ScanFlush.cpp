#include "core/controller/ScanFlush.h"

#include "core/device/FileBackedDevice.h"
#include "core/device/WindowDevice.h"
#include "platform/RawDevice.h"

namespace {

// Windows over windows are not made; the bound only guards a cycle.
constexpr int kMaxWindowDepth = 4;

}  // namespace

void FlushBeforeScan(IStorageDevice* device) {
  for (int depth = 0; device != nullptr && depth <= kMaxWindowDepth; ++depth) {
    if (auto* window = dynamic_cast<CWindowDevice*>(device)) {
      device = window->GetParent();
      continue;
    }
    if (auto* file = dynamic_cast<CFileBackedDevice*>(device)) {
      file->FlushBuffers();
      return;
    }
    break;
  }
  // Other devices (test devices, wrappers): flush the file systems only.
  platform::RawDevice().FlushBuffers();
}
