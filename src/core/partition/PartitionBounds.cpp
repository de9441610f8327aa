#include "core/partition/PartitionBounds.h"

bool FitEntryToDisk(std::int64_t start, std::int64_t count, std::int64_t totalSectors, PartitionEntry& entry) {
  if (start < 0 || start >= totalSectors) return false;
  const std::int64_t room = totalSectors - start;
  entry.startSector = start;
  entry.sectorCount = (count < 1 || count > room) ? room : count;
  return true;
}
