#pragma once
// Answers the enumeration's question for an APFS volume: the container's
// first volume name and that volume's identifier (its UUID).

#include "core/enumeration/ApfsVolumeNames.h"

bool ApfsVolumeNameFromDevice(IStorageDevice* device, ApfsVolumeName& out);
