#include "apfs/ApfsVolumeNameSource.h"

#include <cstdio>

#include "apfs/APFSRecognize.h"

bool ApfsVolumeNameFromDevice(IStorageDevice* device, ApfsVolumeName& out) {
  ApfsFirstVolume volume;
  if (!FindApfsFirstVolume(device, 0, volume)) return false;
  char id[37];
  const auto& u = volume.uuid;
  std::snprintf(id, sizeof id, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", u[0], u[1], u[2],
                u[3], u[4], u[5], u[6], u[7], u[8], u[9], u[10], u[11], u[12], u[13], u[14], u[15]);
  out.name = volume.name;
  out.deviceIdentifier = id;
  return true;
}
