#include "apfs/ApfsScanSupport.h"

#include <fstream>
#include <sstream>

#include "core/recovery/DataRecovery.h"
#include "core/recovery/FileReader.h"

namespace apfstest {

std::map<std::string, IFileNode*> CollectingBuilder::ByPath() const {
  std::map<long long, IFileNode*> byId;
  for (IFileNode* n : nodes) byId.emplace(n->GetCurrentNodeID(), n);
  std::map<std::string, IFileNode*> out;
  for (IFileNode* n : nodes) {
    // The volume's root folder stands for the tree root.
    if (n->GetCurrentNodeID() == n->GetParentNodeID()) continue;
    std::string path = n->GetFileName();
    long long parent = n->GetParentNodeID();
    for (int depth = 0; depth < 32; ++depth) {
      auto it = byId.find(parent);
      if (it == byId.end() || it->second == n || it->first == it->second->GetParentNodeID()) break;
      path = std::string(it->second->GetFileName()) + "/" + path;
      parent = it->second->GetParentNodeID();
    }
    out[path] = n;
  }
  return out;
}

std::unique_ptr<APFSDeepScan> Sweep(IStorageDevice* device, CollectingBuilder& builder, SweepOptions options) {
  auto searcher = std::make_unique<APFSDeepScan>();
  const long long block = 4194304 / device->GetSectorSize();
  searcher->SetDevice(device);
  searcher->SetBlockSize(static_cast<int>(block));
  searcher->SetDirecotryTreeBuilder(&builder);
  searcher->SetBitmap(nullptr);
  searcher->PreparetoSearch();
  searcher->SetIProgressSink(options.progress);
  const long long total = device->GetTotalSectors();
  for (long long first = 0; first < total; first += block) {
    searcher->AnalyzeBlock(first, std::min(block, total - first));
  }
  if (options.end) searcher->EndSearch(1);
  return searcher;
}

bool RecoverNode(IFileSystemSearchController* searcher, IStorageDevice* device, IFileNode* node,
                 const testsupport::TempDir& tmp, const std::string& name, std::string& content) {
  std::unique_ptr<IDataRecovery, void (*)(IDataRecovery*)> recovery(CreateDataRecoveryObj(),
                                                                    [](IDataRecovery* r) { r->Release(); });
  if (recovery->Initialize(searcher, device) != 0) return false;
  IFileReader* reader = recovery->SetRecoverNode(node);
  if (reader == nullptr) return false;
  reader->Release();
  const std::string out = tmp.File(name);
  if (recovery->RecoverTo(out.c_str(), nullptr, 0) != 0) return false;
  content = ReadFileText(out);
  return true;
}

std::string Icat(const std::string& image, int apsbBlock, int inode, const testsupport::TempDir& tmp) {
  if (!testsupport::HaveProgram("icat")) return {};
  const std::string out = tmp.File("icat_" + std::to_string(inode));
  const std::string cmd = "icat -f apfs -B " + std::to_string(apsbBlock) + " '" + image + "' " + std::to_string(inode) +
                          " > '" + out + "' 2>/dev/null";
  if (testsupport::Run(cmd) != 0) return {};
  return ReadFileText(out);
}

}  // namespace apfstest
