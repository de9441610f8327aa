#include "bridge/ImageDiskDevice.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "bridge/AppleDiskImage.h"
#include "core/device/DiskDevice.h"
#include "core/enumeration/EnumDevice.h"
#include "core/enumeration/MergeVolumeAndPartition.h"
#include "core/image/QdiDevice.h"

namespace {

std::string BaseName(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool LooksLikeQdi(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  char magic[4] = {};
  in.read(magic, 4);
  return in.gcount() == 4 && std::memcmp(magic, "qdi\0", 4) == 0;
}

}  // namespace

CImageDiskDevice::CImageDiskDevice(IStorageDevice* image, std::string path, bool isQdi)
    : m_image(image), m_path(std::move(path)), m_isQdi(isQdi) {
  auto* record = new CCollectDiskDeviceInfoStruct();
  record->busType = kBusVirtual;
  record->deviceName = BaseName(m_path);
  record->bsdName = BaseName(m_path);
  record->sectorSize = m_image->GetSectorSize();
  record->totalSectors = m_image->GetTotalSectors();
  record->cylinders = CylindersOf(record->totalSectors);
  m_data.reset(CreateDiskDeviceData(record));
  MakeVolumes();
}

CImageDiskDevice::~CImageDiskDevice() {
  for (IStorageDevice* v : m_volumes) delete v;
}

int CImageDiskDevice::ReadSector(void* buffer, long long startSector, long long count) {
  return m_image->ReadSector(buffer, startSector, count);
}

void CImageDiskDevice::MakeVolumes() {
  std::vector<IStorageDevice*> partitions;
  CEnumDevice(EnumSources{}).EnumPartitionDevice(this, partitions);
  std::vector<IStorageDevice*> merged;
  const RESULT r = CMergeVolumeAndPartition::MergeAsVolume({}, partitions, merged);
  for (IStorageDevice* p : partitions) delete p;
  if (result::Failed(r)) {
    for (IStorageDevice* v : merged) delete v;
    return;
  }
  m_volumes = std::move(merged);
}

std::unique_ptr<CImageDiskDevice> CImageDiskDevice::OpenImage(const std::string& path, std::string& error) {
  std::ifstream probe(path, std::ios::binary);
  if (!probe) {
    error = std::strerror(errno);
    return nullptr;
  }
  probe.close();
  const bool qdi = LooksLikeQdi(path);
  IStorageDevice* image = nullptr;
  if (!qdi && LooksLikeAppleDiskImage(path)) {
    std::unique_ptr<CUdifDevice> dmg = CUdifDevice::OpenImage(path, error);
    if (!dmg) return nullptr;
    image = dmg.release();
  } else if (qdi) {
    image = CreateQdiDevice(path.c_str());
    if (image == nullptr) {
      error = "not a valid QDI image";
      return nullptr;
    }
  } else {
    CDiskDevice* raw = CreateDiskDevice(path.c_str());
    std::string p = path;
    if (raw->Open(p.data()) == 0) {
      delete raw;
      error = "cannot be opened";
      return nullptr;
    }
    image = raw;
  }
  if (image->GetTotalSectors() <= 0) {
    delete image;
    error = "is empty";
    return nullptr;
  }
  return std::make_unique<CImageDiskDevice>(image, path, qdi);
}
