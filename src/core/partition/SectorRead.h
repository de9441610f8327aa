#pragma once
// Reads whole sectors of a device into a buffer it sizes itself.

#include <cstdint>
#include <vector>

#include "core/device/StorageDevice.h"

// Reads `count` sectors from `start`. A range outside the device, or a failed
// read, returns the device's error (or a read failure of the storage module
// when the device reports none).
[[nodiscard]] RESULT ReadDiskSectors(IStorageDevice& disk, long long start, long long count,
                                     std::vector<std::uint8_t>& out);
