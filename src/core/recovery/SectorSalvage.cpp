#include "core/recovery/SectorSalvage.h"

#include <cstring>

#include "core/device/StorageDevice.h"

long long ReadSectorsSalvaging(IStorageDevice& device, std::uint8_t* out, long long first, long long count,
                               int sectorSize) {
  if (count <= 0 || sectorSize <= 0) return 0;
  const auto size = static_cast<std::size_t>(sectorSize);
  if (first < 0) {
    std::memset(out, 0, static_cast<std::size_t>(count) * size);
    return count;
  }
  // Sectors past the device's known end are not asked for.
  const long long total = device.GetTotalSectors();
  long long readable = count;
  if (total > 0) readable = first >= total ? 0 : (count < total - first ? count : total - first);
  if (readable < count) {
    std::memset(out + static_cast<std::size_t>(readable) * size, 0, static_cast<std::size_t>(count - readable) * size);
  }
  if (readable == 0) return count;
  if (device.ReadSector(out, first, readable) != 0) return count - readable;

  long long bad = count - readable;
  for (long long i = 0; i < readable; ++i) {
    std::uint8_t* dst = out + static_cast<std::size_t>(i) * size;
    if (device.ReadSector(dst, first + i, 1) == 0) {
      std::memset(dst, 0, size);
      ++bad;
    }
  }
  return bad;
}
