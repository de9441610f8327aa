#include "core/image/DmgDevice.h"

#include <array>
#include <cstring>
#include <memory>

#include "platform/RawDevice.h"

bool IsValidDmgGeometry(const CDMGDeviceInfoStruct& info, std::uint64_t fileBytes) {
  const std::uint64_t ss = info.sectorSize;
  if (ss < 512 || ss > 4096 || (ss & (ss - 1)) != 0) return false;
  if (info.dataOffset > fileBytes) return false;
  return info.totalSectors <= (fileBytes - info.dataOffset) / ss;
}

void CDmgDevice::ApplyRecord() {
  auto* data = dynamic_cast<IDmgDeviceData*>(m_data.get());
  const CDMGDeviceInfoStruct* info = data != nullptr ? data->GetDMGInfo() : nullptr;
  if (info == nullptr) return;
  const std::uint64_t fileBytes = m_fileBytes >= 0 ? static_cast<std::uint64_t>(m_fileBytes) : info->fileSize;
  if (!IsValidDmgGeometry(*info, fileBytes)) {
    m_totalSectors = 0;
    return;
  }
  m_sectorSize = static_cast<std::uint32_t>(info->sectorSize);
  m_totalSectors = static_cast<long long>(info->totalSectors);
  m_dataOffset = static_cast<long long>(info->dataOffset);
}

CDmgDevice* CreateDmgDeviceImp(const char* imagePath) { return new CDmgDevice(imagePath); }

int QvFillDmgFileInfo(CDMGDeviceInfoStruct* info, const char* path) {
  if (info == nullptr || path == nullptr) return -1;
  platform::RawDevice file;
  if (file.OpenReadOnly(path) != 0) return -1;
  info->path = path;
  if (info->path.size() > 1031) info->path.resize(1031);
  if (info->name.size() > 127) info->name.resize(127);
  return 0;
}

IStorageDevice* CreateDmgDevice(const char* path, const CDMGDeviceInfoStruct* record) {
  if (path == nullptr || record == nullptr) return nullptr;
  std::unique_ptr<CDmgDevice> device(CreateDmgDeviceImp(path));
  if (device->Open(nullptr) == 0) return nullptr;
  device->SetPrivateData(CreateDMGDeviceData(new CDMGDeviceInfoStruct(*record)));
  if (device->GetTotalSectors() == 0 && record->totalSectors != 0) return nullptr;
  return device.release();
}

IStorageDevice* CreateDmgDeviceByDmgInfo(const void* block, int len, const char* /*path*/) {
  if (block == nullptr || len < 0 || len > static_cast<int>(kDmgInfoSize)) return nullptr;
  std::array<std::uint8_t, kDmgInfoSize> stored{};
  std::memcpy(stored.data(), block, static_cast<size_t>(len));
  CDMGDeviceInfoStruct saved;
  if (!ParseDmgInfo(stored.data(), stored.size(), saved)) return nullptr;
  std::unique_ptr<IStorageDevice> device(CreateDmgDevice(saved.path.c_str(), &saved));
  if (GetDMGInfo(device.get()) == nullptr) return nullptr;
  return device.release();
}
