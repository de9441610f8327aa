#include "core/device/DiskDevice.h"

#include "core/device/DeviceGeometry.h"

int CDiskDevice::GetVolumes(std::vector<CCollectedVolumeDeviceInfoStruct>& out) const {
  out.clear();
  out.insert(out.end(), m_volumes.begin(), m_volumes.end());
  return static_cast<int>(out.size());
}

void CDiskDevice::ApplyRecord() {
  auto* data = dynamic_cast<IDiskDeviceData*>(m_data.get());
  const CCollectDiskDeviceInfoStruct* info = data != nullptr ? data->GetDiskInfo() : nullptr;
  if (info == nullptr) return;
  const long long sectorSize = info->sectorSize == 0 ? 512 : info->sectorSize;
  if (devgeom::IsUsableSectorSize(sectorSize)) m_sectorSize = static_cast<std::uint32_t>(sectorSize);
  m_totalSectors = info->totalSectors > 0 ? info->totalSectors : 0;
}

CDiskDevice* CreateDiskDevice(const char* devPath) { return new CDiskDevice(devPath); }
