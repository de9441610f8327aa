#include "core/device/VolumeDevice.h"

#include "core/device/DeviceGeometry.h"
#include "core/events/MessageCenter.h"

CVolumeDevice::CVolumeDevice(const char* devPath)
    : CFileBackedDevice(devPath), m_messageCenter(CMessageCenter::Instance()) {}

void CVolumeDevice::SetApfsDevicePath(char* path) {
  if (path != nullptr) m_apfsDevicePath = path;
}

void CVolumeDevice::ApplyRecord() {
  auto* data = dynamic_cast<IVolumeDeviceData*>(m_data.get());
  const CCollectedVolumeDeviceInfoStruct* info = data != nullptr ? data->GetVolumeInfo() : nullptr;
  if (info == nullptr) return;
  const long long sectorSize = info->sectorSize == 0 ? 512 : info->sectorSize;
  if (devgeom::IsUsableSectorSize(sectorSize)) m_sectorSize = static_cast<std::uint32_t>(sectorSize);
  m_totalSectors = info->totalSectors > 0 ? info->totalSectors : 0;
}

void CVolumeDevice::OnReadFailed() {
  if (m_messageCenter != nullptr) m_messageCenter->PushEvent(kEventDeviceReadFailed, 0, nullptr);
}

CVolumeDevice* CreateVolumeDevice(const char* devPath) { return new CVolumeDevice(devPath); }
