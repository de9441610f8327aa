#pragma once
// Names of APFS volumes, answered by the APFS engine's container reader.

#include <string>

#include "core/device/StorageDevice.h"

struct ApfsVolumeName {
  std::string name;              // the container's first volume name
  std::string deviceIdentifier;  // that volume's identifier
};

// Fills `out` when the device holds an APFS container with at least one volume.
using ApfsVolumeNameSource = bool (*)(IStorageDevice* device, ApfsVolumeName& out);

void SetApfsVolumeNameSource(ApfsVolumeNameSource source);
// False ("no container") until the APFS engine installs its source.
bool LookUpApfsVolumeName(IStorageDevice* device, ApfsVolumeName& out);
