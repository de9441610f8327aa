#include "hfsplus/ExtentChain.h"

#include <algorithm>

#include "hfsplus/ExtentKey.h"
#include "hfsplus/HfsPlusLayout.h"
#include "hfsplus/HfsPlusResult.h"
#include "hfsplus/HfsPlusVolume.h"

namespace {

// Appends the descriptors of one record; false once the fork is covered or
// a descriptor is empty.
bool AppendRecord(const HFSPlusExtentRecord& record, std::uint32_t volumeBlocks, std::uint64_t& remaining,
                  std::vector<HFSPlusExtentDescriptor>& out, bool& addedAny) {
  for (const HFSPlusExtentDescriptor& d : record) {
    if (remaining == 0) return false;
    if (d.blockCount == 0) return false;
    HFSPlusExtentDescriptor e = d;
    if (e.blockCount >= remaining) e.blockCount = static_cast<std::uint32_t>(remaining);
    if (volumeBlocks != 0) {
      if (e.startBlock >= volumeBlocks) return false;
      e.blockCount = std::min<std::uint32_t>(e.blockCount, volumeBlocks - e.startBlock);
    }
    out.push_back(e);
    remaining -= e.blockCount;
    addedAny = true;
  }
  return remaining != 0;
}

}  // namespace

RESULT BuildExtentChain(CHFSPlusVolume* volume, std::uint32_t fileID, const HFSPlusForkData& fork,
                        const ExtentChainOptions& options, std::vector<HFSPlusExtentDescriptor>& out) {
  out.clear();
  const HFSPlusVolumeHeader* header = volume == nullptr ? nullptr : volume->GetVolumeHeader();
  const std::uint32_t volumeBlocks = header == nullptr ? 0 : header->totalBlocks;
  std::uint64_t remaining = fork.totalBlocks;
  if (volumeBlocks != 0) remaining = std::min<std::uint64_t>(remaining, volumeBlocks);
  bool added = false;
  if (!AppendRecord(fork.extents, volumeBlocks, remaining, out, added)) return result::kSuccess;
  if (volume == nullptr || out.size() < hfs::kExtentsPerRecord) return result::kSuccess;
  if (fileID == hfs::kExtentsFileId) return HFS_FAIL(kHfsFormat);

  std::uint64_t covered = fork.totalBlocks - remaining;
  while (remaining != 0) {
    HFSPlusExtentKey key;
    key.forkType = options.forkType;
    key.fileID = fileID;
    key.startBlock = static_cast<std::uint32_t>(covered);
    HFSPlusExtentRecord record{};
    if (!volume->FindExtentRecord(key, options.useHarvested, record)) {
      return options.missingIsError ? HFS_FAIL(kHfsFormat) : result::kSuccess;
    }
    added = false;
    const bool more = AppendRecord(record, volumeBlocks, remaining, out, added);
    if (!added) return options.missingIsError ? HFS_FAIL(kHfsFormat) : result::kSuccess;
    covered = fork.totalBlocks - remaining;
    if (!more) break;
  }
  return result::kSuccess;
}
