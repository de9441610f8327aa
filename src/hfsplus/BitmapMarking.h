#pragma once
// Marks the sectors of a live file's allocation-block runs in the shared
// sector bitmap, so that the sweep leaves them alone.

#include <cstdint>
#include <vector>

#include "core/model/DataRun.h"

class TBitmap;

struct VolumeGeometry {
  long long startSector = 0;  // first sector of the volume on the device
  std::uint32_t sectorsPerBlock = 1;
};

// Marks every bitmap unit that the runs cover completely (a unit that holds
// only part of a run stays clear, so nothing unexplained is hidden). The last
// run counts one block less: its tail may hold older data.
void MarkRunsInBitmap(TBitmap& bitmap, const VolumeGeometry& geometry, const std::vector<DataRun>& runs);

// The runs of a list, in order (at most `limit` of them).
std::vector<DataRun> CollectRuns(IDataRunList* list, std::size_t limit = 1u << 20);
