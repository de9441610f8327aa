#include "exfat/ExFatTestSupport.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "core/device/DeviceData.h"
#include "core/device/VolumeDevice.h"
#include "support/TempDir.h"

namespace exfattest {

namespace {

std::string ScriptPath() {
  return (std::filesystem::path(QUARNEL_TESTS_DIR) / "exfat" / "make_exfat_image.sh").string();
}

void Walk(IFileNode* node, const std::string& prefix, std::map<std::string, Found>& out, int depth) {
  if (depth > 64) return;
  for (IFileNode* child = node->GetFirstChild(); child != nullptr; child = child->GetNextNode()) {
    const char* name = child->GetFileName();
    const std::string path = prefix + "/" + (name != nullptr ? name : "");
    out.emplace(path, Found{child, path});
    Walk(child, path, out, depth + 1);
  }
}

}  // namespace

testsupport::Lack WhyNoFuseImages() {
  testsupport::Lack lack = testsupport::MissingFuse();
  if (lack.empty()) lack = testsupport::MissingLoop();
  if (lack.empty()) lack = testsupport::MissingTool({"mkfs.exfat", "mount.exfat-fuse", "fls", "python3", "faketime"});
  return lack;
}

bool MakeFuseImage(const std::string& dir) {
  return testsupport::Run("bash '" + ScriptPath() + "' '" + dir + "' >/dev/null 2>&1") == 0;
}

std::vector<Listed> FlsDeleted(const std::string& image, long long sectorOffset) {
  std::vector<Listed> out;
  for (Listed& item : testsupport::FlsBody(image, sectorOffset, true)) {
    // TSK's own finds of stray entries have no path on the volume.
    if (!item.path.starts_with("/$OrphanFiles")) out.push_back(std::move(item));
  }
  return out;
}

bool IsCutHeadOfLiveFile(const std::string& liveList, const Listed& entry) {
  std::ifstream in(liveList);
  for (std::string line; std::getline(in, line);) {
    const std::size_t bar = line.rfind('|');
    if (bar == std::string::npos) continue;
    const std::string path = line.substr(0, bar);
    if (std::to_string(entry.size) == line.substr(bar + 1) && path.size() > entry.path.size() &&
        path.starts_with(entry.path) && path.find('/', entry.path.size()) == std::string::npos) {
      return true;
    }
  }
  return false;
}

std::unique_ptr<IStorageDevice> OpenVolume(const std::string& path, int code) {
  std::unique_ptr<CVolumeDevice> device(CreateVolumeDevice(path.c_str()));
  if (device->Open(nullptr) == 0) return nullptr;
  auto* info = new CCollectedVolumeDeviceInfoStruct();
  info->fileSystem = static_cast<std::uint32_t>(code);
  info->volumeName = "TESTVOL";
  info->sectorSize = 512;
  info->totalSectors = device->GetTotalSectors();
  device->SetPrivateData(CreateVolumeDeviceData(info));
  return device;
}

std::map<std::string, Found> TreeByPath(const testsupport::RecordingTree& tree) {
  std::map<std::string, Found> out;
  for (IFilesystemNode* root : tree.m_roots) {
    if (root->GetSearcheType() != kSearcherExFat) continue;
    Walk(root, "", out, 0);
  }
  return out;
}

}  // namespace exfattest
