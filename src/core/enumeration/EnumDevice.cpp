#include "core/enumeration/EnumDevice.h"

#include <cerrno>
#include <memory>

#include "core/device/DeviceData.h"
#include "core/device/DiskDevice.h"
#include "core/device/VolumeDevice.h"
#include "core/device/WindowDevice.h"
#include "core/enumeration/ApfsVolumeNames.h"
#include "core/enumeration/DevListSort.h"
#include "core/enumeration/PartitionScheme.h"
#include "core/partition/PartitionTableAnalyze.h"
#include "core/volume/VolumeAnalyzeController.h"
#include "platform/MountInfo.h"
#include "platform/SysfsBlockDevices.h"

namespace {

std::string DeviceNameOf(const platform::BlockDeviceInfo& info) {
  std::string name = info.vendor;
  if (!info.model.empty()) name += (name.empty() ? "" : " ") + info.model;
  return name.empty() ? info.name : name;
}

std::string LastPathComponent(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

const PartitionEntry* EntryAt(const std::list<PartitionEntry>& entries, long long startSector) {
  for (const PartitionEntry& e : entries) {
    if (e.index >= 0 && e.startSector == startSector) return &e;
  }
  return nullptr;
}

// Opened, or kept while access is refused.
bool OpenOrKeep(IStorageDevice& device, const std::string& path) {
  std::string p = path;
  return device.Open(p.data()) != 0 || device.IsPermitted() == 0;
}

}  // namespace

std::list<PartitionEntry> ReadPartitionEntries(IStorageDevice* disk) {
  std::list<PartitionEntry> entries;
  std::unique_ptr<IPartitionTableAnalyze> reader(CreatePartitionTableAnalyze());
  const RESULT r = reader->AnalyzePartitionTable(disk, entries);
  if (result::Succeeded(r) && entries.empty() && disk != nullptr) {
    PartitionEntry whole;
    whole.index = -1;
    whole.startSector = 0;
    whole.sectorCount = disk->GetTotalSectors();
    entries.push_back(whole);
  }
  return entries;
}

void CEnumDevice::EnumDiskDevice(std::vector<IStorageDevice*>& out) {
  out.clear();
  for (const platform::BlockDeviceInfo& info : platform::ListWholeDisks(m_sources.sysfsRoot)) {
    const long long sectorSize = info.logicalBlockSize == 0 ? 512 : info.logicalBlockSize;
    const long long bytes = static_cast<long long>(info.SizeBytes());
    if (bytes < kMinListedDiskBytes) continue;
    const std::string path = m_sources.deviceDir + "/" + info.name;
    std::unique_ptr<CDiskDevice> disk(CreateDiskDevice(path.c_str()));
    if (!OpenOrKeep(*disk, path)) continue;

    auto* record = new CCollectDiskDeviceInfoStruct();
    record->deviceName = DeviceNameOf(info);
    record->bsdName = info.name;
    record->busType = static_cast<std::uint32_t>(info.bus);
    record->writable = info.readOnly ? 0 : 1;
    record->sectorSize = sectorSize;
    record->totalSectors = bytes / sectorSize;
    record->cylinders = CylindersOf(record->totalSectors);
    record->deviceId = static_cast<std::uint32_t>(info.DeviceId());
    disk->SetPrivateData(CreateDiskDeviceData(record));
    if (disk->IsPermitted() != 0) record->partitionScheme = static_cast<std::uint32_t>(DetectPartitionScheme(*disk));
    out.push_back(disk.release());
  }
  CDevListSortAlgorithm::Sort(out);
}

void CEnumDevice::EnumVolumeDevice(IStorageDevice* disk, std::vector<IStorageDevice*>& out) {
  out.clear();
  auto* diskRecord = GetDiskInfo(disk);
  if (diskRecord == nullptr) return;
  const std::list<PartitionEntry> entries = ReadPartitionEntries(disk);
  const auto mounts = platform::ReadMountInfo(m_sources.mountInfo);

  // What the kernel shows inside the disk: its partitions, or the disk itself
  // when it carries no partition table.
  std::vector<platform::BlockDeviceInfo> media = platform::ListPartitions(diskRecord->bsdName, m_sources.sysfsRoot);
  if (media.empty() && diskRecord->partitionScheme == kSchemeNone) {
    for (const auto& d : platform::ListWholeDisks(m_sources.sysfsRoot)) {
      if (d.name == diskRecord->bsdName) media.push_back(d);
    }
  }

  const long long sectorSize = diskRecord->sectorSize > 0 ? diskRecord->sectorSize : 512;
  for (const platform::BlockDeviceInfo& medium : media) {
    if (medium.size512 == 0) continue;
    const std::string path = m_sources.deviceDir + "/" + medium.name;
    std::unique_ptr<CVolumeDevice> volume(CreateVolumeDevice(path.c_str()));
    if (!OpenOrKeep(*volume, path)) continue;

    auto* record = new CCollectedVolumeDeviceInfoStruct();
    record->sectorSize = sectorSize;
    record->totalSectors = static_cast<long long>(medium.SizeBytes()) / sectorSize;
    record->startSector = medium.isPartition ? static_cast<long long>(medium.start512 * 512) / sectorSize : 0;
    record->deviceId = static_cast<std::uint32_t>(medium.DeviceId());
    record->parentDisk = disk;
    record->partitionNumber = medium.isPartition ? medium.partitionNumber : -1;
    record->bsdName = medium.name;
    if (const PartitionEntry* entry = EntryAt(entries, record->startSector); entry != nullptr) {
      record->gptTypeGuid = entry->typeGuid;
      record->gptUniqueGuid = entry->uniqueGuid;
      record->apmType = entry->ApmTypeText();
    }
    const std::string mountPoint = platform::MountPointOf(mounts, medium.major, medium.minor);
    record->mounted = mountPoint.empty() ? 0 : 1;
    volume->SetPrivateData(CreateVolumeDeviceData(record));

    if (volume->IsPermitted() != 0) {
      const RecognizedVolume found = RecognizeVolume(volume.get(), 0);
      record->fileSystem = static_cast<std::uint32_t>(found.fileSystem);
      record->label = found.label;
    }
    record->volumeName = !record->label.empty() ? record->label
                         : !mountPoint.empty()  ? LastPathComponent(mountPoint)
                                                : medium.name;
    if (record->fileSystem == kFsApfs) {
      ApfsVolumeName apfs;
      if (LookUpApfsVolumeName(volume.get(), apfs)) {
        record->volumeName = apfs.name.substr(0, 100);
        volume->SetApfsDevicePath(apfs.deviceIdentifier.data());
      }
    }
    out.push_back(volume.release());
  }
  CDevListSortAlgorithm::Sort(out);

  // Entries name the start sector of the volume with their partition number.
  for (const PartitionEntry& entry : entries) {
    for (IStorageDevice* v : out) {
      auto* r = GetVolumeInfo(v);
      if (r != nullptr && r->startSector == 0 && r->partitionNumber == entry.index) {
        r->startSector = entry.startSector;
        break;
      }
    }
  }

  std::vector<CCollectedVolumeDeviceInfoStruct> copies;
  for (IStorageDevice* v : out) {
    if (const auto* r = GetVolumeInfo(v); r != nullptr) copies.push_back(*r);
  }
  if (auto* d = dynamic_cast<CDiskDevice*>(disk); d != nullptr) d->SetVolumes(copies);
}

void CEnumDevice::EnumPartitionDevice(IStorageDevice* disk, std::vector<IStorageDevice*>& out) {
  out.clear();
  auto* diskRecord = GetDiskInfo(disk);
  if (diskRecord == nullptr) return;
  for (const PartitionEntry& entry : ReadPartitionEntries(disk)) {
    std::unique_ptr<CPartitionDevice> partition(CreatePartitionDevice(disk, entry.startSector, entry.sectorCount));
    if (partition == nullptr || partition->Open(nullptr) == 0) break;
    auto* record = new CCollectedPartitionDeviceInfoStruct();
    record->reserved = 0;
    record->sectorSize = diskRecord->sectorSize;
    record->deviceId = diskRecord->deviceId;
    record->totalSectors = entry.sectorCount;
    record->partitionIndex = entry.index;
    record->startSector = entry.startSector;
    record->parentDisk = disk;
    if (diskRecord->partitionScheme == kSchemeGpt) {
      record->gptTypeGuid = entry.typeGuid;
      record->gptUniqueGuid = entry.uniqueGuid;
    }
    if (diskRecord->partitionScheme == kSchemeApm) record->apmType = entry.ApmTypeText();
    partition->SetPrivateData(CreatePartitionDeviceData(record));
    if (disk->IsPermitted() != 0) {
      const RecognizedVolume found = RecognizeVolume(partition.get(), 0);
      record->fileSystem = static_cast<std::uint32_t>(found.fileSystem);
      record->label = found.label;
    }
    out.push_back(partition.release());
  }
  CDevListSortAlgorithm::Sort(out);
}
