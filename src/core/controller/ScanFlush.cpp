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
  // A wrapper over a file-backed device (an image presented as a disk) hands
  // the flush on; an image file then needs none.
  if (device != nullptr && device->IOCtl(CFileBackedDevice::kIoctlFlushBeforeScan, nullptr) == 1) return;
  // Other devices (test devices, wrappers): flush the file systems only.
  platform::RawDevice().FlushBuffers();
}
