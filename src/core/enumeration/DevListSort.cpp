#include "core/enumeration/DevListSort.h"

#include <algorithm>

#include "core/device/DeviceData.h"

bool CDevListSortAlgorithm::Less(IStorageDevice* a, IStorageDevice* b) {
  if (a == nullptr || b == nullptr || a->GetType() != b->GetType()) return false;
  switch (a->GetType()) {
    case kDeviceDisk: {
      const auto* ra = GetDiskInfo(a);
      const auto* rb = GetDiskInfo(b);
      return ra != nullptr && rb != nullptr && ra->bsdName < rb->bsdName;
    }
    case kDevicePartition: {
      const auto* ra = GetPartitionInfo(a);
      const auto* rb = GetPartitionInfo(b);
      return ra != nullptr && rb != nullptr && ra->partitionIndex < rb->partitionIndex;
    }
    case kDeviceVolume: {
      const auto* ra = GetVolumeInfo(a);
      const auto* rb = GetVolumeInfo(b);
      return ra != nullptr && rb != nullptr && ra->partitionNumber < rb->partitionNumber;
    }
    default:
      return false;
  }
}

void CDevListSortAlgorithm::Sort(std::vector<IStorageDevice*>& list) {
  std::stable_sort(list.begin(), list.end(), &CDevListSortAlgorithm::Less);
}
