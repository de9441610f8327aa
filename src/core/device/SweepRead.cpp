#include "core/device/SweepRead.h"

#include "core/device/StorageDevice.h"

int ReadSweep(IStorageDevice* device, void* buffer, long long startSector, long long count) {
  if (auto* sweep = dynamic_cast<ISweepReadable*>(device)) return sweep->ReadSweepSectors(buffer, startSector, count);
  return device->ReadSector(buffer, startSector, count);
}
