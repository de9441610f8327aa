#include "fat/FatScanHarness.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/controller/RecoveryController.h"
#include "core/device/DeviceData.h"
#include "core/device/DiskDevice.h"
#include "core/device/VolumeDevice.h"
#include "core/engines/EngineRegistry.h"
#include "core/recovery/FileReader.h"
#include "fat/FatEngine.h"
#include "support/TempDir.h"

namespace fattest {

namespace {

std::string ScriptPath() { return (std::filesystem::path(QUARNEL_TESTS_DIR) / "fat" / "make_fat_images.sh").string(); }

void WalkTree(IFileNode* node, const std::string& prefix, std::multimap<std::string, IFileNode*>& out, int depth) {
  if (depth > 64) return;
  for (IFileNode* child = node->GetFirstChild(); child != nullptr; child = child->GetNextNode()) {
    const char* name = child->GetFileName();
    const std::string path =
        prefix.empty() ? std::string(name != nullptr ? name : "") : prefix + "/" + (name != nullptr ? name : "");
    out.emplace(path, child);
    WalkTree(child, path, out, depth + 1);
  }
}

std::vector<std::string> Split(const std::string& path) {
  std::vector<std::string> parts;
  std::stringstream in(path);
  std::string part;
  while (std::getline(in, part, '/')) {
    if (!part.empty()) parts.push_back(part);
  }
  return parts;
}

}  // namespace

const std::string& ImagesDir(testsupport::Lack* why) {
  static std::unique_ptr<testsupport::TempDir> dir;  // removed when the program ends
  static std::string path;
  static testsupport::Lack reason;
  static bool tried = false;
  if (!tried) {
    tried = true;
    reason = testsupport::MissingTool({"mkfs.vfat", "mcopy", "mdeltree", "sfdisk", "fls", "python3", "truncate"});
    if (reason.empty()) {
      dir = std::make_unique<testsupport::TempDir>();
      if (testsupport::Run("bash '" + ScriptPath() + "' '" + dir->Path().string() + "' >/dev/null 2>&1") == 0) {
        path = dir->Path().string();
      } else {
        reason = testsupport::Broken("make_fat_images.sh failed");
      }
    }
  }
  if (why != nullptr) *why = reason;
  return path;
}

DevicePtr OpenVolume(const std::string& path, int fsCode) {
  DevicePtr device(CreateVolumeDevice(path.c_str()));
  if (device->Open(nullptr) == 0) return nullptr;
  auto* info = new CCollectedVolumeDeviceInfoStruct();
  info->fileSystem = static_cast<std::uint32_t>(fsCode);
  info->sectorSize = device->GetSectorSize();
  info->totalSectors = device->GetTotalSectors();
  device->SetPrivateData(CreateVolumeDeviceData(info));
  return device;
}

DevicePtr OpenDisk(const std::string& path) {
  DevicePtr device(CreateDiskDevice(path.c_str()));
  if (device->Open(nullptr) == 0) return nullptr;
  auto* info = new CCollectDiskDeviceInfoStruct();
  info->sectorSize = device->GetSectorSize();
  info->totalSectors = device->GetTotalSectors();
  device->SetPrivateData(CreateDiskDeviceData(info));
  return device;
}

std::unique_ptr<Scan> RunScan(IStorageDevice* device, _RECOVERY_CONTROLLER_TYPE kind) {
  engine_registry::Clear();
  RegisterFatEngine();
  auto scan = std::make_unique<Scan>();
  testsupport::ScanDevice(*scan, device, kind);
  for (IFilesystemNode* root : scan->tree.m_roots) {
    if (root->GetSearcheType() == kSearcherFat) WalkTree(root, "", scan->nodes, 0);
  }
  return scan;
}

std::vector<TskEntry> FlsDeleted(const std::string& image, long long offsetSectors) {
  std::vector<TskEntry> entries = testsupport::FlsBody(image, offsetSectors, true);
  for (TskEntry& e : entries) {
    if (e.path.starts_with('/')) e.path.erase(0, 1);
  }
  return entries;
}

bool SamePathAllowingLostFirstChar(const std::string& ours, const std::string& tsk) {
  const auto a = Split(ours);
  const auto b = Split(tsk);
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] == b[i]) continue;
    if (a[i].size() != b[i].size() || a[i].empty() || a[i][0] != '#' || b[i][0] != '_' ||
        a[i].compare(1, std::string::npos, b[i], 1, std::string::npos) != 0) {
      return false;
    }
  }
  return true;
}

IFileNode* FindNode(const std::multimap<std::string, IFileNode*>& nodes, const std::string& tskPath) {
  for (const auto& [path, node] : nodes) {
    if (SamePathAllowingLostFirstChar(path, tskPath)) return node;
  }
  return nullptr;
}

long long FileTimeToUnix(long long fileTime) { return fileTime / 10000000 - 11644473600LL; }

RESULT Recover(IRecoveryController& controller, IFileNode* node, const std::string& out) {
  IDataRecovery* recovery = controller.GetDataRecovery(kSearcherFat);
  if (recovery == nullptr) return ~0ull;
  IFileReader* reader = recovery->SetRecoverNode(node);
  RESULT r = reader != nullptr ? recovery->RecoverTo(out.c_str(), nullptr, 0) : RESULT{~0ull};
  if (reader != nullptr) reader->Release();
  recovery->Release();
  return r;
}

}  // namespace fattest
