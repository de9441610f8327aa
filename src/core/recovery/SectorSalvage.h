#pragma once
// Reading sectors so that one bad sector costs only itself.

#include <cstdint>

class IStorageDevice;

// Reads `count` sectors from `first` into `out` (count x sectorSize bytes).
// When the read fails, the sectors are read again one at a time; every
// sector that cannot be read (also one past the device's end) is left as
// zeros. Returns the number of unreadable sectors.
long long ReadSectorsSalvaging(IStorageDevice& device, std::uint8_t* out, long long first, long long count,
                               int sectorSize);
