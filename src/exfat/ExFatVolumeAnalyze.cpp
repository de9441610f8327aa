#include "exfat/ExFatVolumeAnalyze.h"

#include <vector>

#include "core/volume/BootSectorRead.h"
#include "exfat/ExFatBootSector.h"

void CExFatVolumeAnalyer::GetLabel(char* buffer, int length) {
  if (buffer != nullptr && length >= 2) buffer[0] = '\0';
}

IVolumeAnalyze* CreateExfatVolumeAnalyze(IStorageDevice* device, unsigned long long startSector) {
  const std::vector<std::uint8_t> buffer = ReadVolumeBootSector(device, startSector);
  if (buffer.empty()) return nullptr;
  const int sectorSize = device->GetSectorSize();
  const CExFatDBR dbr(ByteView(buffer.data(), static_cast<std::size_t>(sectorSize)));
  if (!dbr.IsValid(static_cast<std::uint32_t>(sectorSize))) return nullptr;
  return new CExFatVolumeAnalyer(dbr.GetTotalSectors());
}
