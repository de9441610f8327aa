#include "core/partition/SectorRead.h"

namespace {

// Large enough for a GPT entry array; a request above it is refused.
constexpr long long kMaxReadBytes = 8LL * 1024 * 1024;

}  // namespace

RESULT ReadDiskSectors(IStorageDevice& disk, long long start, long long count, std::vector<std::uint8_t>& out) {
  out.clear();
  const long long sectorSize = disk.GetSectorSize();
  const long long total = disk.GetTotalSectors();
  if (sectorSize <= 0 || count <= 0 || start < 0 || start >= total || count > total - start ||
      count > kMaxReadBytes / sectorSize) {
    return QV_RESULT(result::kModuleStorageDevice, kDevBadArgument);
  }
  out.assign(static_cast<std::size_t>(count * sectorSize), 0);
  if (disk.ReadSector(out.data(), start, count) == 0) {
    out.clear();
    const RESULT error = disk.GetLastError();
    return result::Failed(error) ? error : QV_RESULT(result::kModuleStorageDevice, kDevOpenOrReadFailed);
  }
  return result::kSuccess;
}
