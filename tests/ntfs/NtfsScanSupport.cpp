#include "ntfs/NtfsScanSupport.h"

#include <functional>

#include "core/device/DeviceData.h"
#include "core/device/DiskDevice.h"
#include "core/device/VolumeDevice.h"
#include "core/recovery/DataRecovery.h"
#include "core/recovery/FileReader.h"
#include "ntfs/NtfsEngine.h"

namespace ntfstest {

void RecoveryRelease::operator()(IDataRecovery* r) const {
  if (r != nullptr) r->Release();
}

std::unique_ptr<IStorageDevice> OpenNtfsVolume(const std::string& image, int sectorSize) {
  std::unique_ptr<CVolumeDevice> volume(CreateVolumeDevice(image.c_str()));
  if (volume->Open(nullptr) == 0) return nullptr;
  auto* record = new CCollectedVolumeDeviceInfoStruct();
  record->fileSystem = kFsNtfs;
  record->sectorSize = sectorSize;
  record->totalSectors = volume->GetTotalSectors() * 512 / sectorSize;
  record->volumeName = "NTFSFX";
  volume->SetPrivateData(CreateVolumeDeviceData(record));
  return volume;
}

std::unique_ptr<IStorageDevice> OpenDisk(const std::string& image) {
  std::unique_ptr<CDiskDevice> disk(CreateDiskDevice(image.c_str()));
  if (disk->Open(nullptr) == 0) return nullptr;
  return disk;
}

std::unique_ptr<ScanRun> Scan(IStorageDevice& device, _RECOVERY_CONTROLLER_TYPE kind) {
  RegisterNtfsEngine();
  auto run = std::make_unique<ScanRun>();
  testsupport::ScanDevice(*run, &device, kind);
  std::function<void(IFileNode*, const std::string&, int)> walk = [&](IFileNode* n, const std::string& prefix,
                                                                      int depth) {
    for (IFileNode* c = n->GetFirstChild(); c != nullptr && depth < 64; c = c->GetNextNode()) {
      std::string path = prefix + (c->GetFileName() != nullptr ? c->GetFileName() : "?");
      if (depth == 0 && kind != kControllerQuick) {
        auto* node = dynamic_cast<CFileNode*>(c);
        path = std::to_string(node != nullptr ? static_cast<int>(node->GetBelongedPartition()) : -1) + ":" + path;
      }
      run->nodes[path] = c;
      walk(c, path + "/", depth + 1);
    }
  };
  for (IFilesystemNode* root : run->tree.m_roots) {
    if (root->GetSearcheType() == kSearcherNtfs) walk(root, "", 0);
  }
  return run;
}

RESULT Recover(ScanRun& run, IFileNode* node, const std::string& path) {
  std::unique_ptr<IDataRecovery, RecoveryRelease> recovery(run.controller->GetDataRecovery(kSearcherNtfs));
  if (!recovery) return ~0ull;
  IFileReader* reader = recovery->SetRecoverNode(node);
  if (reader == nullptr) return ~1ull;
  reader->Release();
  return recovery->RecoverTo(path.c_str(), nullptr, 0);
}

}  // namespace ntfstest
