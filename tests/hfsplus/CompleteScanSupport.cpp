#include "hfsplus/CompleteScanSupport.h"

#include <gtest/gtest.h>

#include "core/recovery/DataRecovery.h"
#include "core/recovery/FileReader.h"
#include "hfsplus/CollectingBuilder.h"

namespace hfstest {

std::unique_ptr<CHFSPlusCompleteFileSystemSearchController> SweepWithSearcher(IStorageDevice* device,
                                                                              CollectingBuilder& builder,
                                                                              TBitmap* bitmap, bool end, int build) {
  auto searcher = std::make_unique<CHFSPlusCompleteFileSystemSearchController>();
  const long long block = 4194304 / device->GetSectorSize();
  searcher->SetDevice(device);
  searcher->SetBlockSize(static_cast<int>(block));
  searcher->SetDirecotryTreeBuilder(&builder);
  searcher->SetBitmap(bitmap);
  searcher->PreparetoSearch();
  const long long total = device->GetTotalSectors();
  for (long long first = 0; first < total; first += block) {
    searcher->AnalyzeBlock(first, std::min(block, total - first));
  }
  if (end) searcher->EndSearch(build);
  return searcher;
}

Bytes RecoverNode(IFileSystemSearchController* searcher, IStorageDevice* device, IFileNode* node,
                  const testsupport::TempDir& tmp, const std::string& name) {
  std::unique_ptr<IDataRecovery, void (*)(IDataRecovery*)> recovery(CreateDataRecoveryObj(),
                                                                    [](IDataRecovery* r) { r->Release(); });
  if (recovery->Initialize(searcher, device) != 0) return {};
  IFileReader* reader = recovery->SetRecoverNode(node);
  if (reader == nullptr) return {};
  reader->Release();
  const std::string out = tmp.File(name);
  if (recovery->RecoverTo(out.c_str(), nullptr, 0) != 0) return {};
  return ReadFileBytes(out);
}

}  // namespace hfstest
