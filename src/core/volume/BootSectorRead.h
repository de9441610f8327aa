#pragma once
// Reading the first sector of a volume for a recogniser that tests its boot
// sector (exFAT, NTFS).

#include <cstdint>
#include <vector>

#include "core/device/StorageDevice.h"

// The sector at `startSector` in a buffer of at least 4 KiB (zeros after the
// sector); empty when there is no device, its sector size is not a usable one
// (1 byte to 64 KiB), the start lies past any device or the read fails.
std::vector<std::uint8_t> ReadVolumeBootSector(IStorageDevice* device, unsigned long long startSector);
