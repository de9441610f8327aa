#pragma once
// Fits a table's (start, count) to the disk.

#include <cstdint>

#include "core/partition/PartitionEntry.h"

// False when the start lies at or past the disk end (the entry is dropped).
// Otherwise sets start and count; a count below 1 or one that passes the end
// becomes "up to the disk end".
bool FitEntryToDisk(std::int64_t start, std::int64_t count, std::int64_t totalSectors, PartitionEntry& entry);
