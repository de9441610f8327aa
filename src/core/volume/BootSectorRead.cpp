#include "core/volume/BootSectorRead.h"

#include <algorithm>
#include <climits>

namespace {

constexpr std::size_t kMinBuffer = 4096;
constexpr int kMaxSectorSize = 64 * 1024;

}  // namespace

std::vector<std::uint8_t> ReadVolumeBootSector(IStorageDevice* device, unsigned long long startSector) {
  if (device == nullptr) return {};
  const int sectorSize = device->GetSectorSize();
  if (sectorSize <= 0 || sectorSize > kMaxSectorSize || startSector > static_cast<unsigned long long>(LLONG_MAX)) {
    return {};
  }
  std::vector<std::uint8_t> buffer(std::max(kMinBuffer, static_cast<std::size_t>(sectorSize)), 0);
  if (device->ReadSector(buffer.data(), static_cast<long long>(startSector), 1) == 0) return {};
  return buffer;
}
