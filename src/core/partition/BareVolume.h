#pragma once
// A device whose first sector is the boot sector of a volume holds that volume
// alone, without a partition table: a copy of one partition, a superfloppy.
// Boot sectors written by Windows keep their messages where a partition table
// keeps its entries and end with 55 AA like one, so the file-system
// recognisers decide, not the signature.

#include "core/device/StorageDevice.h"

// True when a registered recogniser accepts a volume starting at sector 0.
bool StartsWithVolume(IStorageDevice& device);
