#pragma once
// Where FILE records lie on a device: the volume's cluster geometry, the
// record size and the $MFT's runs.

#include <cstdint>
#include <optional>
#include <vector>

#include "ntfs/DataRuns.h"

class IStorageDevice;

// A FILE record's place: the device sector holding its first byte and the
// byte offset inside that sector.
struct RecordPosition {
  long long sector = -1;
  unsigned offset = 0;
  bool operator==(const RecordPosition&) const = default;
};

struct MftGeometry {
  long long clusterBase = 0;  // device sector of cluster 0
  int sectorsPerCluster = 8;
  int sectorSize = 512;
  int recordBytes = 1024;
  const CNTFSDataRunList* mftRuns = nullptr;  // borrowed

  long long ClusterBytes() const { return static_cast<long long>(sectorsPerCluster) * sectorSize; }
  // Device sector of a cluster; nullopt on overflow.
  std::optional<long long> ClusterSector(long long lcn) const;
  // The place of MFT record `number`; nullopt when the runs do not map it.
  std::optional<RecordPosition> RecordPlace(long long number) const;
};

// Largest cluster the engine accepts.
inline constexpr long long kMaxClusterBytes = 2LL * 1024 * 1024;

// Reads `bytes` bytes at `place` into `out`; false when the read fails (then
// `out` is zero-filled).
bool ReadBytesAt(IStorageDevice& device, const RecordPosition& place, std::size_t bytes,
                 std::vector<std::uint8_t>& out);
