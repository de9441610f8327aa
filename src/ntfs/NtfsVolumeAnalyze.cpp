#include "ntfs/NtfsVolumeAnalyze.h"

#include <vector>

#include "core/volume/BootSectorRead.h"
#include "ntfs/NtfsBootSector.h"

void CNTFSVolumeAnalyer::GetLabel(char* buffer, int length) {
  if (buffer != nullptr && length >= 2) buffer[0] = '\0';
}

IVolumeAnalyze* CreateNTFSVolumeAnalyze(IStorageDevice* device, unsigned long long startSector) {
  const std::vector<std::uint8_t> buffer = ReadVolumeBootSector(device, startSector);
  if (buffer.empty()) return nullptr;
  CNTFSDBR dbr;
  if (!dbr.InitFromBuffer(ByteView(buffer.data(), buffer.size()))) return nullptr;
  return new CNTFSVolumeAnalyer(dbr.GetTotalSectors());
}
