#pragma once
// A fork's extents: the 8 of its fork data, then the extents overflow
// records keyed {fork type, file id, blocks so far}.

#include <cstdint>
#include <vector>

#include "core/model/ResultCode.h"
#include "hfsplus/ForkData.h"

class CHFSPlusVolume;

struct ExtentChainOptions {
  std::uint8_t forkType = 0;   // 0 data, 0xFF resource
  bool useHarvested = false;   // also look in the journal's extent records
  bool missingIsError = true;  // an absent overflow record fails
};

// Fills `out` with the extents that cover the fork's totalBlocks (the last
// one cut to what remains). Stops at a record that adds nothing, and never
// lists more blocks than the volume holds. Without a volume only the 8
// descriptors of the fork are used.
[[nodiscard]] RESULT BuildExtentChain(CHFSPlusVolume* volume, std::uint32_t fileID, const HFSPlusForkData& fork,
                                      const ExtentChainOptions& options, std::vector<HFSPlusExtentDescriptor>& out);
