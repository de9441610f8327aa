#include "core/enumeration/PartitionScheme.h"

#include <cstdint>
#include <vector>

#include "core/partition/ApmMap.h"
#include "core/partition/BareVolume.h"
#include "core/partition/MbrLayout.h"
#include "core/partition/MbrSector.h"

enumDiskPartitionScheme DetectPartitionScheme(IStorageDevice& disk) {
  const int sectorSize = disk.GetSectorSize();
  if (sectorSize < 512 || sectorSize > 65536 || disk.GetTotalSectors() < 1) return kPartitionSchemeNone;
  std::vector<std::uint8_t> sector(static_cast<std::size_t>(sectorSize));
  if (disk.ReadSector(sector.data(), 0, 1) == 0) return kPartitionSchemeNone;
  const ByteView view(sector.data(), sector.size());
  MbrSector mbr;
  const bool decoded = DecodeMbrSector(view, mbr);
  if (decoded && mbr.hasSignature && view.U8(mbr::kFirstEntryType) == mbr::kTypeGptProtective)
    return kPartitionSchemeGpt;
  std::uint32_t blockSize = 0;
  if (DecodeApmDriverMap(view, blockSize)) return kPartitionSchemeApm;
  if (decoded && mbr.hasSignature && !StartsWithVolume(disk)) return kPartitionSchemeMbr;
  return kPartitionSchemeNone;
}
