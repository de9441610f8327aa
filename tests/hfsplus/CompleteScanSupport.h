#pragma once
// Runs the HFS+ complete searcher over a device the way the deep-scan
// controller does, and recovers its nodes.

#include <memory>
#include <string>

#include "core/model/Contracts.h"
#include "hfsplus/CompleteSearcher.h"
#include "hfsplus/HfsTestSupport.h"
#include "support/TempDir.h"

class TBitmap;

namespace hfstest {

class CollectingBuilder;

// SetDevice, SetBitmap, PreparetoSearch and AnalyzeBlock over every 4 MiB
// block; EndSearch(build) when `end` is set.
std::unique_ptr<CHFSPlusCompleteFileSystemSearchController> SweepWithSearcher(IStorageDevice* device,
                                                                              CollectingBuilder& builder,
                                                                              TBitmap* bitmap, bool end = true,
                                                                              int build = 1);

// The node's content as the recovery writer copies it out ("" on failure).
Bytes RecoverNode(IFileSystemSearchController* searcher, IStorageDevice* device, IFileNode* node,
                  const testsupport::TempDir& tmp, const std::string& name);

}  // namespace hfstest
