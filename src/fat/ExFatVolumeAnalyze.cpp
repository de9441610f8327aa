#include "fat/ExFatVolumeAnalyze.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "fat/ExFatBootSector.h"

namespace {

constexpr std::size_t kMinBuffer = 4096;
constexpr int kMaxSectorSize = 64 * 1024;

}  // namespace

void CExFatVolumeAnalyer::GetLabel(char* buffer, int length) {
  if (buffer != nullptr && length >= 2) buffer[0] = '\0';
}

IVolumeAnalyze* CreateExfatVolumeAnalyze(IStorageDevice* device, unsigned long long startSector) {
  if (device == nullptr) return nullptr;
  const int sectorSize = device->GetSectorSize();
  if (sectorSize <= 0 || sectorSize > kMaxSectorSize || startSector > static_cast<unsigned long long>(LLONG_MAX)) {
    return nullptr;
  }
  std::vector<std::uint8_t> buffer(std::max(kMinBuffer, static_cast<std::size_t>(sectorSize)), 0);
  if (device->ReadSector(buffer.data(), static_cast<long long>(startSector), 1) == 0) return nullptr;
  const CExFatDBR dbr(ByteView(buffer.data(), static_cast<std::size_t>(sectorSize)));
  if (!dbr.IsValid(static_cast<std::uint32_t>(sectorSize))) return nullptr;
  return new CExFatVolumeAnalyer(dbr.GetTotalSectors());
}
