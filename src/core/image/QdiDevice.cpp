#include "core/image/QdiDevice.h"

#include <memory>

#include "core/image/QdiFormat.h"

void CQdiDevice::ApplyRecord() {
  auto* data = dynamic_cast<IQDIDeviceData*>(m_data.get());
  const CQDIDeviceInfoStruct* info = data != nullptr ? data->GetQDIInfo() : nullptr;
  if (info == nullptr) return;
  // A record that does not fit the opened file leaves a device with no sectors.
  const std::uint64_t fileBytes = m_fileBytes >= 0 ? static_cast<std::uint64_t>(m_fileBytes) : info->fileSize;
  if (!IsValidQdiGeometry(*info, fileBytes)) {
    m_totalSectors = 0;
    return;
  }
  m_sectorSize = static_cast<std::uint32_t>(info->sectorSize);
  m_totalSectors = static_cast<long long>(info->totalSectors);
  m_dataOffset = static_cast<long long>(info->dataOffset);
}

CQdiDevice* CreateQdiDeviceImp(const char* imagePath) { return new CQdiDevice(imagePath); }

IStorageDevice* CreateQdiDevice(const char* path) {
  if (path == nullptr) return nullptr;
  std::unique_ptr<CQdiDevice> device(CreateQdiDeviceImp(path));
  if (device->Open(nullptr) == 0) return nullptr;
  auto info = std::make_unique<CQDIDeviceInfoStruct>();
  if (QvFillQdiFileInfo(info.get(), path) != 0) return nullptr;
  device->SetPrivateData(CreateQDIDeviceData(info.release()));
  if (device->GetTotalSectors() == 0 && GetQDIInfo(device.get())->totalSectors != 0) return nullptr;
  return device.release();
}

IStorageDevice* CreateQdiDeviceByQdiInfo(const void* block, int size, const char* path) {
  if (block == nullptr || size != static_cast<int>(kQdiInfoSize)) return nullptr;
  CQDIDeviceInfoStruct saved;
  if (!ParseQdiInfo(static_cast<const std::uint8_t*>(block), kQdiInfoSize, saved)) return nullptr;
  const std::string where = path != nullptr ? std::string(path) : saved.path;
  std::unique_ptr<IStorageDevice> device(CreateQdiDevice(where.c_str()));
  const CQDIDeviceInfoStruct* info = GetQDIInfo(device.get());
  if (info == nullptr) return nullptr;
  if (info->sectorSize != saved.sectorSize || info->totalSectors != saved.totalSectors ||
      info->fileSize != saved.fileSize || info->dataOffset != saved.dataOffset ||
      info->creationTime != saved.creationTime || info->name != saved.name) {
    return nullptr;
  }
  return device.release();
}
