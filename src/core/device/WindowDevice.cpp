#include "core/device/WindowDevice.h"

#include <cstring>

#include "core/device/DeviceGeometry.h"
#include "core/device/DeviceResult.h"

CWindowDevice::CWindowDevice(IStorageDevice* parent, long long startSector, long long totalSectors)
    : m_parent(parent),
      m_startSector(startSector > 0 ? startSector : 0),
      m_totalSectors(totalSectors > 0 ? totalSectors : 0) {
  if (m_parent != nullptr && devgeom::IsUsableSectorSize(m_parent->GetSectorSize())) {
    m_sectorSize = static_cast<std::uint32_t>(m_parent->GetSectorSize());
  }
}

int CWindowDevice::Open(char* /*path*/) {
  m_lastError = 0;
  const CCollectDiskDeviceInfoStruct* disk = GetDiskInfo(m_parent);
  if (disk == nullptr) {
    m_lastError = QV_DEVICE_RESULT(kDevNoPrivateData);
    return 0;
  }
  const long long sectorSize = disk->sectorSize == 0 ? 512 : disk->sectorSize;
  if (devgeom::IsUsableSectorSize(sectorSize)) m_sectorSize = static_cast<std::uint32_t>(sectorSize);
  return 1;
}

int CWindowDevice::Close() {
  m_lastError = 0;
  return 1;
}

int CWindowDevice::ReadSector(void* buffer, long long startSector, long long count) {
  return Read(buffer, startSector, count, false);
}

int CWindowDevice::ReadSweepSectors(void* buffer, long long startSector, long long count) {
  return Read(buffer, startSector, count, true);
}

int CWindowDevice::Read(void* buffer, long long startSector, long long count, bool sweep) {
  m_lastError = 0;
  if (m_parent == nullptr) {
    m_lastError = QV_DEVICE_RESULT(kDevNoPrivateData);
    return 0;
  }
  if (buffer == nullptr || startSector < 0 || startSector >= m_totalSectors || count <= 0 || count > m_totalSectors) {
    m_lastError = QV_DEVICE_RESULT(kDevBadArgument);
    return 0;
  }
  // Sector numbers pass to the parent unchanged, so both must agree.
  if (m_parent->GetSectorSize() != static_cast<int>(m_sectorSize)) {
    m_lastError = QV_DEVICE_RESULT(kDevNoPrivateData);
    return 0;
  }
  const long long inside = m_totalSectors - startSector;
  const long long n = count < inside ? count : inside;
  long long parentStart = 0;
  long long tailOffset = 0;
  long long bufferBytes = 0;
  if (!devgeom::MulAdd(1, startSector, m_startSector, parentStart) ||
      !devgeom::MulAdd(n, m_sectorSize, 0, tailOffset) || !devgeom::MulAdd(count, m_sectorSize, 0, bufferBytes)) {
    m_lastError = QV_DEVICE_RESULT(kDevBadArgument);
    return 0;
  }
  auto* bytes = static_cast<unsigned char*>(buffer);
  const int result = sweep ? ReadSweep(m_parent, buffer, parentStart, n) : m_parent->ReadSector(buffer, parentStart, n);
  if (bufferBytes > tailOffset) std::memset(bytes + tailOffset, 0, static_cast<size_t>(bufferBytes - tailOffset));
  if (result == 0) m_lastError = m_parent->GetLastError();
  return result;
}

int CWindowDevice::IOCtl(unsigned long long /*code*/, void* /*arg*/) {
  m_lastError = QV_DEVICE_RESULT(kDevIoctlUnsupported);
  return 0;
}

void CWindowDevice::SetPrivateData(IStorageDeviceData* data) {
  m_lastError = 0;
  m_data.reset(data);
  if (m_data) ApplyRecord();
}

void CPartitionDevice::ApplyRecord() {
  auto* data = dynamic_cast<IPartitionDeviceData*>(m_data.get());
  const CCollectedPartitionDeviceInfoStruct* info = data != nullptr ? data->GetPartitionInfo() : nullptr;
  if (info == nullptr) return;
  const long long sectorSize = info->sectorSize == 0 ? 512 : info->sectorSize;
  if (devgeom::IsUsableSectorSize(sectorSize)) m_sectorSize = static_cast<std::uint32_t>(sectorSize);
  m_totalSectors = info->totalSectors > 0 ? info->totalSectors : 0;
}

void CPartitionVirtualVolumeDevice::ApplyRecord() {
  auto* data = dynamic_cast<IVolumeDeviceData*>(m_data.get());
  const CCollectedVolumeDeviceInfoStruct* info = data != nullptr ? data->GetVolumeInfo() : nullptr;
  if (info == nullptr) return;
  if (devgeom::IsUsableSectorSize(info->sectorSize) && info->sectorSize > static_cast<long long>(m_sectorSize)) {
    m_sectorSize = static_cast<std::uint32_t>(info->sectorSize);
  }
  m_totalSectors = info->totalSectors > 0 ? info->totalSectors : 0;
}

CPartitionDevice* CreatePartitionDevice(IStorageDevice* parent, long long startSector, long long totalSectors) {
  return new CPartitionDevice(parent, startSector, totalSectors);
}

CPartitionVirtualVolumeDevice* CreatePartitionVirtualVolumeDevice(IStorageDevice* partitionDevice) {
  const CCollectedPartitionDeviceInfoStruct* info = GetPartitionInfo(partitionDevice);
  if (info == nullptr || info->reserved != 0 || info->parentDisk == nullptr) return nullptr;
  if (GetDiskInfo(info->parentDisk) == nullptr) return nullptr;
  return new CPartitionVirtualVolumeDevice(info->parentDisk, info->startSector, info->totalSectors);
}
