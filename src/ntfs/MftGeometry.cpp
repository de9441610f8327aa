#include "ntfs/MftGeometry.h"

#include <algorithm>

#include "core/device/StorageDevice.h"

std::optional<long long> MftGeometry::ClusterSector(long long lcn) const {
  long long sector = 0;
  if (lcn < 0 || __builtin_mul_overflow(lcn, static_cast<long long>(sectorsPerCluster), &sector) ||
      __builtin_add_overflow(sector, clusterBase, &sector)) {
    return std::nullopt;
  }
  return sector;
}

std::optional<RecordPosition> MftGeometry::RecordPlace(long long number) const {
  const long long clusterBytes = ClusterBytes();
  if (mftRuns == nullptr || number < 0 || clusterBytes <= 0 || recordBytes <= 0 || sectorSize <= 0) return std::nullopt;
  long long byte = 0;
  if (__builtin_mul_overflow(number, static_cast<long long>(recordBytes), &byte)) return std::nullopt;
  const long long lcn = mftRuns->GetLCN(byte / clusterBytes);
  if (lcn < 0) return std::nullopt;
  const auto first = ClusterSector(lcn);
  if (!first) return std::nullopt;
  const long long inCluster = byte % clusterBytes;
  return RecordPosition{*first + inCluster / sectorSize, static_cast<unsigned>(inCluster % sectorSize)};
}

bool ReadBytesAt(IStorageDevice& device, const RecordPosition& place, std::size_t bytes,
                 std::vector<std::uint8_t>& out) {
  out.assign(bytes, 0);
  const int sectorSize = device.GetSectorSize();
  if (place.sector < 0 || sectorSize <= 0 || bytes == 0) return false;
  const std::size_t span = place.offset + bytes;
  const std::size_t count = (span + static_cast<std::size_t>(sectorSize) - 1) / static_cast<std::size_t>(sectorSize);
  std::vector<std::uint8_t> raw(count * static_cast<std::size_t>(sectorSize), 0);
  if (device.ReadSector(raw.data(), place.sector, static_cast<long long>(count)) == 0) return false;
  std::copy(raw.begin() + place.offset, raw.begin() + static_cast<long>(span), out.begin());
  return true;
}
