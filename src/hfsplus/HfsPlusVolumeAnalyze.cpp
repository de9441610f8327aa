#include "hfsplus/HfsPlusVolumeAnalyze.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "hfsplus/HfsPlusLayout.h"
#include "hfsplus/VolumeHeader.h"

CHFSPlusVolumeAnalyze::CHFSPlusVolumeAnalyze(IStorageDevice* device, unsigned long long startSector) {
  if (device == nullptr) return;
  const int ss = device->GetSectorSize() > 0 ? device->GetSectorSize() : 512;
  const std::size_t sectorSize = static_cast<std::size_t>(ss);
  // A sector smaller than the header cannot hold it whole.
  if (sectorSize < hfs::kVolumeHeaderSize) return;
  std::vector<std::uint8_t> sector(sectorSize);
  const unsigned long long at = startSector + hfs::kVolumeHeaderOffset / sectorSize;
  if (device->ReadSector(sector.data(), static_cast<long long>(at), 1) == 0) return;
  const std::size_t inSector = hfs::kVolumeHeaderOffset % sectorSize;
  const ByteView view = ByteView(sector.data(), sector.size()).Sub(inSector, hfs::kVolumeHeaderSize);
  if (!IsValidVolumeHeaderBytes(view)) return;
  const auto header = DecodeVolumeHeader(view);
  m_iFileSystem = kFsHfsPlus;
  m_llTotalSectors = static_cast<long long>(header->VolumeBytes() / sectorSize);
}

void CHFSPlusVolumeAnalyze::GetLabel(char* buffer, int length) {
  if (buffer == nullptr || length <= 0) return;
  std::memcpy(buffer, m_label, static_cast<std::size_t>(std::min(length, 100)));
}

IVolumeAnalyze* CreateHFSPlusVolumeAnalyze(IStorageDevice* device, unsigned long long startSector) {
  return new (std::nothrow) CHFSPlusVolumeAnalyze(device, startSector);
}
