#pragma once
// Disks for the complete-scan tests: HFS+ volume images placed at chosen
// sectors of a larger, otherwise empty disk.

#include <cstdint>
#include <string>
#include <vector>

#include "hfsplus/HfsTestSupport.h"

namespace hfstest {

struct PlacedVolume {
  long long startSector = 0;
  Bytes image;
};

// A disk of `totalBytes` holding the volumes.
Bytes MakeDisk(std::size_t totalBytes, std::uint32_t sectorSize, const std::vector<PlacedVolume>& volumes);

// Zeroes the main volume header of the volume at `startSector`.
void ZeroMainHeader(Bytes& disk, std::uint32_t sectorSize, long long startSector);

// Writes the disk sparsely to `path` (only its non-zero 4 KiB pieces).
void WriteSparse(const std::string& path, const Bytes& disk);

// `sgdisk` with one HFS+ partition (AF00) over each volume, or false when
// sgdisk is missing or fails.
bool WriteGptWithSgdisk(const std::string& path, const std::vector<std::pair<long long, long long>>& partitions);

}  // namespace hfstest
