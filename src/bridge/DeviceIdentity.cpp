#include "bridge/DeviceIdentity.h"

#include "bridge/ImageDiskDevice.h"
#include "core/device/FileBackedDevice.h"
#include "core/device/WindowDevice.h"

std::string BackingPathOf(IStorageDevice* device) {
  for (int depth = 0; device != nullptr && depth < 8; ++depth) {
    if (auto* image = dynamic_cast<CImageDiskDevice*>(device)) return image->Path();
    if (auto* file = dynamic_cast<CFileBackedDevice*>(device)) return file->Path();
    auto* window = dynamic_cast<CWindowDevice*>(device);
    if (window == nullptr) return "";
    device = window->GetParent();
  }
  return "";
}

platform::SourceIdentity IdentityOfDevice(IStorageDevice* device) {
  const std::string path = BackingPathOf(device);
  return path.empty() ? platform::SourceIdentity{} : platform::IdentifySource(path);
}
