#include "bridge/QVUIDeviceData.h"

#include <algorithm>
#include <chrono>

#include "bridge/ImageDiskDevice.h"
#include "bridge/JobThreads.h"
#include "bridge/QVUIScan.h"
#include "core/device/WindowDevice.h"
#include "core/util/Log.h"

namespace {

constexpr DeviceGuid kEfiSystemPartition = {0x28, 0x73, 0x2A, 0xC1, 0x1F, 0xF8, 0xD2, 0x11,
                                            0xBA, 0x4B, 0x00, 0xA0, 0xC9, 0x3E, 0xC9, 0x3B};
constexpr DeviceGuid kAppleBootPartition = {0x74, 0x6F, 0x6F, 0x42, 0x00, 0x00, 0xAA, 0x11,
                                            0xAA, 0x11, 0x00, 0x30, 0x65, 0x43, 0xEC, 0xAC};

std::string KernelName(const std::string& name) { return name.rfind("/dev/", 0) == 0 ? name.substr(5) : name; }

}  // namespace

// One build of the enumerator's devices; freed when the list and every
// scan result that used it have let go.
struct QVUIDeviceData::DeviceSet {
  std::unique_ptr<IEnumDeviceEx> enumerator;
  std::vector<IStorageDevice*> disks;
  std::map<IStorageDevice*, std::vector<IStorageDevice*>> volumes;
  std::vector<std::unique_ptr<IStorageDevice>> ownedVolumes;  // virtual volumes handed out

  ~DeviceSet() {
    ownedVolumes.clear();
    if (enumerator) (void)enumerator->Uninit();
  }
};

QVUIDeviceData* QVUIDeviceData::instance() {
  // Never destroyed: a job or polling thread may still use it at exit.
  static QVUIDeviceData* object = new QVUIDeviceData();
  return object;
}

QVUIDeviceData::QVUIDeviceData() = default;
QVUIDeviceData::~QVUIDeviceData() = default;

void QVUIDeviceData::SetEnumSources(const EnumSources& sources) {
  std::lock_guard g(m_lock);
  m_sources = sources;
}

int QVUIDeviceData::GetInitState() const {
  std::lock_guard g(m_lock);
  return m_initState;
}

bool QVUIDeviceData::InitDeviceInfo() {
  std::lock_guard g(m_lock);
  m_initState = 1;
  auto set = std::make_shared<DeviceSet>();
  set->enumerator.reset(CreateEnumDeviceExFrom(m_sources));
  bool found = false;
  if (result::Succeeded(set->enumerator->Init())) {
    int count = 0;
    if (result::Succeeded(set->enumerator->EnumDiskDevice(nullptr, count)) && count > 0) {
      std::vector<IStorageDevice*> disks(static_cast<std::size_t>(count), nullptr);
      if (result::Succeeded(set->enumerator->EnumDiskDevice(disks.data(), count))) {
        disks.resize(static_cast<std::size_t>(count));
        set->disks = disks;
      }
    }
    for (IStorageDevice* disk : set->disks) {
      int n = 0;
      if (result::Failed(set->enumerator->EnumVolumeDevice(disk, nullptr, n))) continue;
      std::vector<IStorageDevice*> vols(static_cast<std::size_t>(n), nullptr);
      const int vols0 = n;
      if (n > 0 && result::Failed(set->enumerator->EnumVolumeDevice(disk, vols.data(), n))) continue;
      vols.resize(static_cast<std::size_t>(std::min(n, vols0)));
      // Virtual volumes are new objects that the list owns; real ones belong
      // to the enumerator.
      for (IStorageDevice* v : vols) {
        if (dynamic_cast<CPartitionVirtualVolumeDevice*>(v) != nullptr) set->ownedVolumes.emplace_back(v);
      }
      set->volumes[disk] = vols;
    }
    found = !set->disks.empty();
  }
  m_current = set;
  Renumber();
  m_initState = 2;
  return found;
}

void QVUIDeviceData::Renumber() {
  m_diskMap.clear();
  m_volumeMap.clear();
  unsigned index = 0;
  if (m_current) {
    for (IStorageDevice* disk : m_current->disks) {
      m_diskMap[index++] = disk;
      const auto it = m_current->volumes.find(disk);
      if (it != m_current->volumes.end()) m_volumeMap[disk] = it->second;
    }
  }
  for (const auto& image : m_images) {
    m_diskMap[index++] = image.get();
    m_volumeMap[image.get()] = image->Volumes();
  }
}

bool QVUIDeviceData::RefreshDeviceInfo() {
  QVUIScan::instance()->StopOperation(1);
  if (!bridge::JobRegistry::instance().WaitIdle(std::chrono::seconds(30))) {
    CatchExeception::WriteLog("device list not refreshed: a job is still running\n");
    return false;
  }
  InitDeviceInfo();
  QVUIScan::instance()->SaveScanSorage(nullptr);
  return true;
}

std::shared_ptr<void> QVUIDeviceData::HoldDevices() {
  std::lock_guard g(m_lock);
  return m_current;
}

int QVUIDeviceData::DiskCount() {
  std::lock_guard g(m_lock);
  return static_cast<int>(m_diskMap.size());
}

int QVUIDeviceData::IsSupportVolume(const CCollectedVolumeDeviceInfoStruct* record) {
  if (record == nullptr) return 0;
  const CCollectDiskDeviceInfoStruct* disk = GetDiskInfo(record->parentDisk);
  if (disk == nullptr) return 1;
  switch (disk->partitionScheme) {
    case kSchemeGpt:
      return (record->gptTypeGuid == kEfiSystemPartition || record->gptTypeGuid == kAppleBootPartition) ? 0 : 1;
    case kSchemeApm:
      return (record->apmType == "Apple_partition_map" || record->apmType == "Apple_Free") ? 0 : 1;
    default:
      return 1;
  }
}

CCollectedVolumeDeviceInfoStruct* QVUIDeviceData::GetVolumeInfo(IStorageDevice* device) {
  if (device == nullptr || device->GetType() == kDeviceDisk) return nullptr;
  return ::GetVolumeInfo(device);
}

int QVUIDeviceData::IsVolumeStorageSupported(IStorageDevice* device) {
  if (device == nullptr) return 0;
  // A device without a volume record (an image) can always be scanned.
  CCollectedVolumeDeviceInfoStruct* record = GetVolumeInfo(device);
  return record == nullptr ? 1 : IsSupportVolume(record);
}

int QVUIDeviceData::GetDiskDataByStorage(IStorageDevice* device, _DiskVolumeData& row) {
  std::lock_guard g(m_lock);
  row.diskIndex = GetDiskIndexByStorage(device);
  if (auto* image = dynamic_cast<CImageDiskDevice*>(device)) {
    const CCollectDiskDeviceInfoStruct* rec = GetDiskInfo(device);
    row.name = rec != nullptr ? rec->deviceName : "";
    row.devName = image->Path();
    row.capacity = static_cast<long long>(device->GetSectorSize()) * device->GetTotalSectors();
    row.isQdi = image->IsQdi() ? 1 : 0;
    row.qdiInfoSize = image->IsQdi() ? static_cast<int>(kQdiInfoSize) : -1;
    const bool appleDmg = image->Image()->GetType() == kDeviceDmgImage;
    row.isAppleDmg = appleDmg ? 1 : 0;
    row.dmgInfoSize = appleDmg ? static_cast<int>(kDmgInfoSize) : -1;
    return 1;
  }
  const CCollectDiskDeviceInfoStruct* rec = GetDiskInfo(device);
  if (rec == nullptr || rec->reserved != 0) return 0;
  row.name = rec->deviceName;
  row.devName = rec->bsdName;
  row.capacity = rec->sectorSize * rec->totalSectors;
  row.isDmg = rec->busType == kBusVirtual ? 1 : 0;
  row.isUSB = rec->busType == kBusUsb ? 1 : 0;
  row.isSSD = rec->deviceName.find("SSD") != std::string::npos ? 1 : 0;
  row.beCanOpen = device->IsPermitted();
  return 1;
}

int QVUIDeviceData::GetVolumeDataByStorage(IStorageDevice* device, _DiskVolumeData& row) {
  std::lock_guard g(m_lock);
  const CCollectedVolumeDeviceInfoStruct* rec = GetVolumeInfo(device);
  if (rec == nullptr || rec->reserved != 0 || !IsSupportVolume(rec)) return 0;
  row.name = !rec->volumeName.empty() ? rec->volumeName : rec->label;
  row.devName = rec->bsdName;
  row.capacity = rec->sectorSize * rec->totalSectors;
  row.used = 0;
  row.fileSystem = static_cast<int>(rec->fileSystem);
  IStorageDevice* disk = GetDiskStorageByVolumeStorage(device);
  row.diskIndex = GetDiskIndexByStorage(disk);
  row.volumeIndex = GetVolumeIndexByStorage(disk, device);
  return 1;
}

void QVUIDeviceData::GetDiskVolumeInfo(IStorageDevice* disk, std::list<_DiskVolumeData>& rows) {
  std::lock_guard g(m_lock);
  const auto it = m_volumeMap.find(disk);
  if (it == m_volumeMap.end()) return;
  for (IStorageDevice* v : it->second) {
    _DiskVolumeData row;
    row.beCanOpen = v->IsPermitted();
    if (GetVolumeDataByStorage(v, row)) rows.push_back(row);
  }
}

void QVUIDeviceData::GetAllDeviceInfo(std::list<_DiskVolumeData>& rows) {
  std::lock_guard g(m_lock);
  for (const auto& [index, disk] : m_diskMap) {
    _DiskVolumeData row;
    if (!GetDiskDataByStorage(disk, row)) continue;
    GetDiskVolumeInfo(disk, row.children);
    rows.push_back(row);
  }
}

IStorageDevice* QVUIDeviceData::GetStorageByDiskVolumeIndex(int disk, int volume) {
  std::lock_guard g(m_lock);
  if (disk == -1) return nullptr;
  IStorageDevice* d = GetDiskStorageByIndex(disk);
  if (volume == -1) return d;
  return GetVolumeStorageByIndex(d, volume);
}

IStorageDevice* QVUIDeviceData::GetDiskStorageByIndex(int index) {
  std::lock_guard g(m_lock);
  if (index < 0) return nullptr;
  const auto it = m_diskMap.find(static_cast<unsigned>(index));
  return it == m_diskMap.end() ? nullptr : it->second;
}

IStorageDevice* QVUIDeviceData::GetVolumeStorageByIndex(IStorageDevice* disk, int index) {
  std::lock_guard g(m_lock);
  if (disk == nullptr || index < 0) return nullptr;
  const auto it = m_volumeMap.find(disk);
  if (it == m_volumeMap.end() || static_cast<std::size_t>(index) >= it->second.size()) return nullptr;
  return it->second[static_cast<std::size_t>(index)];
}

int QVUIDeviceData::GetDiskIndexByStorage(IStorageDevice* device) {
  std::lock_guard g(m_lock);
  if (device == nullptr) return -1;
  for (const auto& [index, disk] : m_diskMap) {
    if (disk == device) return static_cast<int>(index);
  }
  return -1;
}

IStorageDevice* QVUIDeviceData::GetDiskStorageByVolumeStorage(IStorageDevice* volume) {
  std::lock_guard g(m_lock);
  if (volume == nullptr) return nullptr;
  for (const auto& [disk, list] : m_volumeMap) {
    if (std::find(list.begin(), list.end(), volume) != list.end()) return disk;
  }
  return nullptr;
}

int QVUIDeviceData::GetVolumeIndexByStorage(IStorageDevice* disk, IStorageDevice* volume) {
  std::lock_guard g(m_lock);
  const auto it = m_volumeMap.find(disk);
  if (it == m_volumeMap.end()) return -1;
  const auto pos = std::find(it->second.begin(), it->second.end(), volume);
  return pos == it->second.end() ? -1 : static_cast<int>(pos - it->second.begin());
}

int QVUIDeviceData::GetDiskVolumeIndexByStorage(IStorageDevice* device, int& disk, int& volume) {
  std::lock_guard g(m_lock);
  disk = -1;
  volume = -1;
  if (device == nullptr) return 0;
  const int d = GetDiskIndexByStorage(device);
  if (d >= 0) {
    disk = d;
    return 1;
  }
  IStorageDevice* owner = GetDiskStorageByVolumeStorage(device);
  if (owner == nullptr) return 0;
  disk = GetDiskIndexByStorage(owner);
  volume = GetVolumeIndexByStorage(owner, device);
  return 1;
}

int QVUIDeviceData::IsDiskStorage(IStorageDevice* device) {
  std::lock_guard g(m_lock);
  if (device == nullptr || m_volumeMap.find(device) == m_volumeMap.end()) return 0;
  const int type = device->GetType();
  return (type == kDeviceQdiImage || type == kDeviceDmgImage) ? 0 : 1;
}

void QVUIDeviceData::GetDiskVolumeStorage(IStorageDevice* disk, std::vector<IStorageDevice*>& out) {
  std::lock_guard g(m_lock);
  const auto it = m_volumeMap.find(disk);
  if (it != m_volumeMap.end()) out = it->second;
}

int QVUIDeviceData::QVOpenImageFile(const std::string& path, std::string& error) {
  std::lock_guard g(m_lock);
  for (const auto& image : m_images) {
    if (image->Path() == path) return GetDiskIndexByStorage(image.get());
  }
  std::unique_ptr<CImageDiskDevice> image = CImageDiskDevice::OpenImage(path, error);
  if (!image) return -1;
  m_images.push_back(std::shared_ptr<CImageDiskDevice>(std::move(image)));
  Renumber();
  return GetDiskIndexByStorage(m_images.back().get());
}

int QVUIDeviceData::QVOpenQdiFileImp(const char* path) {
  if (path == nullptr) return 0;
  std::string error;
  return QVOpenImageFile(path, error) >= 0 ? 1 : 0;
}

int QVUIDeviceData::FindDiskByName(const std::string& name) {
  std::lock_guard g(m_lock);
  const std::string kernel = KernelName(name);
  for (const auto& [index, disk] : m_diskMap) {
    if (auto* image = dynamic_cast<CImageDiskDevice*>(disk)) {
      if (image->Path() == name) return static_cast<int>(index);
      continue;
    }
    const CCollectDiskDeviceInfoStruct* rec = GetDiskInfo(disk);
    if (rec != nullptr && rec->bsdName == kernel) return static_cast<int>(index);
  }
  return -1;
}

bool QVUIDeviceData::FindVolumeByName(const std::string& name, int& disk, int& volume) {
  std::lock_guard g(m_lock);
  const std::string kernel = KernelName(name);
  for (const auto& [index, d] : m_diskMap) {
    const auto it = m_volumeMap.find(d);
    if (it == m_volumeMap.end()) continue;
    for (std::size_t i = 0; i < it->second.size(); ++i) {
      const CCollectedVolumeDeviceInfoStruct* rec = ::GetVolumeInfo(it->second[i]);
      if (rec != nullptr && !rec->bsdName.empty() && rec->bsdName == kernel) {
        disk = static_cast<int>(index);
        volume = static_cast<int>(i);
        return true;
      }
    }
  }
  return false;
}
