#include "fat/FatBuildDataRun.h"

#include <algorithm>

namespace {

constexpr std::uint32_t kBadCluster = 0x0FFFFFF7;
constexpr std::uint32_t kLastChainValue = 0x0FFFFFF7;
// A deleted file's search for free clusters gives up after this many
// allocated ones.
constexpr std::uint64_t kMaxSkippedClusters = 1u << 20;

}  // namespace

std::uint64_t CFATBuildDataRun::ClusterLimit() const {
  if (m_sectorsPerCluster == 0) return 2;
  return m_totalSectors / m_sectorsPerCluster + 2;
}

IDataRunList* CFATBuildDataRun::BuildDataRunList(std::uint32_t firstCluster, long long size, int deleted) {
  if (m_fat == nullptr || m_totalSectors == 0 || m_sectorsPerCluster == 0 || m_sectorSize == 0 || size <= 0 ||
      firstCluster < 2) {
    return nullptr;
  }
  return deleted != 0 ? BuildDeleteFileDataRunList(firstCluster, size) : BuildLiveFileDataRunList(firstCluster, size);
}

IDataRunList* CFATBuildDataRun::BuildLiveFileDataRunList(std::uint32_t first, long long size) {
  const std::uint64_t clusterBytes = static_cast<std::uint64_t>(m_sectorSize) * m_sectorsPerCluster;
  const std::uint64_t limit = ClusterLimit();
  const std::uint64_t wantedClusters = (static_cast<std::uint64_t>(size) + clusterBytes - 1) / clusterBytes;
  IDataRunList* list = CreateDataRunList();
  DataRun run{static_cast<long long>(first) - 2, 1};
  std::uint64_t covered = 0;  // bytes of the closed runs
  std::uint64_t steps = 0;
  std::uint32_t current = first;
  bool closedAll = false;
  // A chain never needs more clusters than the file or the partition has.
  while (steps++ < wantedClusters && steps <= limit) {
    const std::uint32_t next = m_fat->GetNextCluster(current);
    if (next < 2 || next > kLastChainValue) break;
    if (next == current + 1) {
      ++run.length;
    } else {
      list->AddDataRun(&run);
      covered += static_cast<std::uint64_t>(run.length) * clusterBytes;
      if (covered >= static_cast<std::uint64_t>(size)) {
        closedAll = true;
        break;
      }
      run = DataRun{static_cast<long long>(next) - 2, 1};
    }
    current = next;
  }
  if (!closedAll) {
    // The last run holds what the chain did not cover.
    const std::uint64_t rest =
        static_cast<std::uint64_t>(size) > covered ? static_cast<std::uint64_t>(size) - covered : 0;
    std::uint64_t needed = (rest + clusterBytes - 1) / clusterBytes;
    // ... as far as the partition goes: a size no cluster can hold is cut
    // by the caller to what the runs hold.
    if (run.start >= 0 && static_cast<std::uint64_t>(run.start) < limit - 2) {
      needed = std::min(needed, limit - 2 - static_cast<std::uint64_t>(run.start));
    }
    if (needed > static_cast<std::uint64_t>(run.length)) run.length = static_cast<long long>(needed);
    list->AddDataRun(&run);
  }
  // Every run must lie inside the partition.
  for (const DataRun* r = list->GetFirst(); r != nullptr; r = list->GetNext()) {
    const std::uint64_t end = static_cast<std::uint64_t>(r->start) + static_cast<std::uint64_t>(r->length);
    if (r->start < 0 || end > limit - 2) {
      list->Release();
      return nullptr;
    }
  }
  return list;
}

IDataRunList* CFATBuildDataRun::BuildDeleteFileDataRunList(std::uint32_t first, long long size) {
  const std::uint64_t clusterBytes = static_cast<std::uint64_t>(m_sectorSize) * m_sectorsPerCluster;
  const std::uint64_t limit = ClusterLimit();
  IDataRunList* list = CreateDataRunList();
  std::uint64_t covered = 0;
  std::uint64_t skipped = 0;
  bool any = false;
  // The first cluster is the entry's own; later ones are skipped while the
  // FAT gives them to another file.
  for (std::uint64_t cur = first; covered < static_cast<std::uint64_t>(size) && cur < limit; ++cur) {
    if (cur != first) {
      const std::uint32_t value = m_fat->GetNextCluster(static_cast<std::uint32_t>(cur));
      if (value != 0) {
        if (++skipped > kMaxSkippedClusters) break;
        continue;
      }
    }
    if (cur == kBadCluster) continue;
    const DataRun run{static_cast<long long>(cur) - 2, 1};
    list->AddDataRun(&run);
    covered += clusterBytes;
    any = true;
  }
  if (!any) {
    list->Release();
    return nullptr;
  }
  return list;
}
