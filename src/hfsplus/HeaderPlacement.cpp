#include "hfsplus/HeaderPlacement.h"

#include <limits>

#include "hfsplus/HfsPlusLayout.h"

namespace {
constexpr long long kMaxByte = std::numeric_limits<long long>::max() / 2;
}  // namespace

long long MainHeaderStart(long long sector, std::size_t offset, std::uint32_t sectorSize) {
  if (sector < 0 || sectorSize == 0) return -1;
  if (offset != hfs::kVolumeHeaderOffset % sectorSize) return -1;
  const long long before = static_cast<long long>(hfs::kVolumeHeaderOffset / sectorSize);
  return sector >= before ? sector - before : -1;
}

long long AlternateHeaderStart(long long sector, std::size_t offset, std::uint32_t sectorSize,
                               std::uint64_t volumeBytes) {
  if (sector < 0 || sectorSize == 0 || offset >= sectorSize) return -1;
  if (volumeBytes < 2 * hfs::kVolumeHeaderOffset || volumeBytes > static_cast<std::uint64_t>(kMaxByte)) return -1;
  if (sector > kMaxByte / static_cast<long long>(sectorSize)) return -1;
  const long long end = sector * static_cast<long long>(sectorSize) + static_cast<long long>(offset) +
                        static_cast<long long>(hfs::kVolumeHeaderOffset);
  const long long startByte = end - static_cast<long long>(volumeBytes);
  if (startByte < 0 || startByte % static_cast<long long>(sectorSize) != 0) return -1;
  return startByte / static_cast<long long>(sectorSize);
}

HeaderPosition MainHeaderPosition(long long start, std::uint32_t sectorSize) {
  if (start < 0 || sectorSize == 0) return {};
  return {start + static_cast<long long>(hfs::kVolumeHeaderOffset / sectorSize), hfs::kVolumeHeaderOffset % sectorSize};
}
