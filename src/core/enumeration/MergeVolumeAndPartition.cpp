#include "core/enumeration/MergeVolumeAndPartition.h"

#include <memory>

#include "core/device/DeviceData.h"
#include "core/device/WindowDevice.h"
#include "core/enumeration/EnumDeviceEx.h"

namespace {
constexpr long long kSameSizeSlackBytes = 10485761;
}

RESULT CVolumePartitionConverter::Convert(IStorageDevice* partition, IStorageDevice*& volume) {
  volume = nullptr;
  if (partition == nullptr || partition->GetType() != kDevicePartition) {
    return QV_RESULT(result::kModuleEnumDevice, kEnumUnknownDisk);
  }
  const CCollectedPartitionDeviceInfoStruct* record = GetPartitionInfo(partition);
  if (record == nullptr) return QV_RESULT(result::kModuleEnumDevice, kEnumNoRecord);
  std::unique_ptr<IStorageDevice> made(CreatePartitionVirtualVolumeDevice(partition));
  if (made == nullptr) return QV_RESULT(result::kModuleEnumDevice, kEnumNotReady);
  if (made->Open(nullptr) == 0) return QV_RESULT(result::kModuleEnumDevice, kEnumNotReady);
  made->SetPrivateData(CreateVolumeDeviceData(new CCollectedVolumeDeviceInfoStruct(VolumeInfoFromPartition(*record))));
  volume = made.release();
  return result::kSuccess;
}

bool CMergeVolumeAndPartition::Matches(IStorageDevice* volume, IStorageDevice* partition) {
  const auto* v = GetVolumeInfo(volume);
  const auto* p = GetPartitionInfo(partition);
  if (v == nullptr || p == nullptr || v->sectorSize != p->sectorSize) return false;
  if (v->startSector != p->startSector) return false;
  const long long diff =
      v->totalSectors > p->totalSectors ? v->totalSectors - p->totalSectors : p->totalSectors - v->totalSectors;
  return p->sectorSize > 0 && diff <= (kSameSizeSlackBytes - 1) / p->sectorSize;
}

RESULT CMergeVolumeAndPartition::MergeAsVolume(const std::vector<IStorageDevice*>& volumes,
                                               const std::vector<IStorageDevice*>& partitions,
                                               std::vector<IStorageDevice*>& out) {
  out = volumes;
  for (IStorageDevice* partition : partitions) {
    bool matched = false;
    for (IStorageDevice* volume : volumes) {
      if (Matches(volume, partition)) {
        matched = true;
        break;
      }
    }
    if (matched) continue;
    IStorageDevice* virtualVolume = nullptr;
    if (const RESULT r = CVolumePartitionConverter::Convert(partition, virtualVolume); result::Failed(r)) return r;
    out.push_back(virtualVolume);
  }
  return result::kSuccess;
}
