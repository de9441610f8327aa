#pragma once
// Runs the core's controllers over NTFS images and collects the trees.

#include <map>
#include <memory>
#include <string>

#include "core/device/StorageDevice.h"
#include "core/model/Contracts.h"
#include "support/FakeSinks.h"
#include "support/ScanRun.h"

class IDataRecovery;

namespace ntfstest {

struct RecoveryRelease {
  void operator()(IDataRecovery* r) const;
};

// A volume device over an image file whose volume record says NTFS.
std::unique_ptr<IStorageDevice> OpenNtfsVolume(const std::string& image, int sectorSize = 512);
// A disk device over an image file.
std::unique_ptr<IStorageDevice> OpenDisk(const std::string& image);

struct ScanRun : testsupport::ScanRun {
  // Every node under the NTFS root by its path ("DOCS/SUB/sub_a.txt"); the
  // complete scans prefix the partition index ("1:DOCS/SUB/sub_a.txt").
  std::map<std::string, IFileNode*> nodes;
};

// Runs a controller of `kind` over the device; the tree stays with the run.
std::unique_ptr<ScanRun> Scan(IStorageDevice& device, _RECOVERY_CONTROLLER_TYPE kind);
// Recovers one node to `path`; 0 on success.
RESULT Recover(ScanRun& run, IFileNode* node, const std::string& path);

}  // namespace ntfstest
