#include "core/controller/DeviceDescription.h"

#include "core/device/DeviceData.h"
#include "core/device/StorageDevice.h"

namespace device_description {

std::string GetDeviceDescription(IStorageDevice* device) {
  if (device == nullptr) return {};
  switch (device->GetType()) {
    case kDeviceVolume: {
      const CCollectedVolumeDeviceInfoStruct* info = GetVolumeInfo(device);
      if (info != nullptr && info->reserved == 0) return info->volumeName;
      return {};
    }
    case kDeviceQdiImage: {
      const CQDIDeviceInfoStruct* info = GetQDIInfo(device);
      return info != nullptr ? info->name : std::string();
    }
    default:
      return {};
  }
}

int GetVolumeFileSystemCode(IStorageDevice* device) {
  const CCollectedVolumeDeviceInfoStruct* info = GetVolumeInfo(device);
  return info != nullptr ? static_cast<int>(info->fileSystem) : -1;
}

}  // namespace device_description
