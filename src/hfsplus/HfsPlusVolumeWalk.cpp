// The volume-level walks: the live catalog into a tree builder, and the
// quick scan's journal harvest followed by the live catalog.

#include "core/device/StorageDevice.h"
#include "core/util/Log.h"
#include "hfsplus/HfsPlusFileNode.h"
#include "hfsplus/HfsPlusJournal.h"
#include "hfsplus/HfsPlusLayout.h"
#include "hfsplus/HfsPlusResult.h"
#include "hfsplus/HfsPlusVolume.h"
#include "hfsplus/QuickSearchProgress.h"

namespace {

// A damaged record may claim more than the device holds (a flipped bit in
// a fork's size): such a file is cut to the device's size and marked.
void BoundByDevice(CHFSPlusFileNode* node, IStorageDevice* device) {
  if (device == nullptr || node->IsDirectory() != 0 || node->IsCompressed() != 0) return;
  const long long sectors = device->GetTotalSectors();
  const long long sectorSize = device->GetSectorSize() > 0 ? device->GetSectorSize() : 512;
  long long bytes = 0;
  if (sectors <= 0 || __builtin_mul_overflow(sectors, sectorSize, &bytes) || node->GetFileSize() <= bytes) return;
  CatchExeception::WriteLog("damaged: %s claims %lld bytes, more than its device holds (%lld): cut to the device\n",
                            node->GetFileName() != nullptr ? node->GetFileName() : "", node->GetFileSize(), bytes);
  node->UpdateFileSize(bytes);
  node->MarkDamaged();
}

// Hands a node to the builder; a refused or id-less node is released.
void Offer(IDirecotryTreeBuilder* builder, CHFSPlusFileNode* node, CHFSPlusQuickFileSystemSearchProgress* progress) {
  if (node->GetCurrentNodeID() == -1) {
    node->Release();
    return;
  }
  BoundByDevice(node, node->GetVolume() != nullptr ? node->GetVolume()->GetDevice() : nullptr);
  if (builder->AddNode(node, kSearcherHfsPlus) == 0) {
    node->Release();
    return;
  }
  if (progress != nullptr) progress->UpdateProgress();
}

}  // namespace

RESULT CHFSPlusVolume::Traverse(int tree, IDirecotryTreeBuilder* builder,
                                CHFSPlusQuickFileSystemSearchProgress* progress) {
  if (tree != hfs::kCatalogFileId) return HFS_FAIL(kHfsBadTree);
  if (progress == nullptr) return result::kSuccess;
  if (!m_pCatalog) return m_lastResult;
  return m_pCatalog->Tree().Traverse([&] { return progress->Continued() == 1; },
                                     [&](const CHFSPlusBTNode& leaf, std::size_t index) {
                                       if (builder == nullptr) return;
                                       const auto key = CHFSPlusCatalog::KeyRead(leaf, index);
                                       const auto record = CHFSPlusCatalog::DataRead(leaf, index);
                                       if (!key || !record || record->IsThread()) return;
                                       Offer(builder, new CHFSPlusFileNode(this, &*key, &*record, 0), progress);
                                     });
}

RESULT CHFSPlusVolume::QuickSearchFiles(IDirecotryTreeBuilder* builder,
                                        CHFSPlusQuickFileSystemSearchProgress* progress) {
  if (!m_pJournal) return HFS_FAIL(kHfsNotInitialised);
  if (builder == nullptr) return HFS_FAIL(kHfsNotInitialised);
  const std::uint64_t counted =
      m_pVolumeHeader ? std::uint64_t{m_pVolumeHeader->fileCount} + m_pVolumeHeader->folderCount : 0;
  if (progress != nullptr) progress->SetTotal(counted + m_harvestedCatalog.size() + 1);
  (void)m_pJournal->GetDeleteRecord(progress);
  bool cancelled = false;
  if (progress != nullptr) {
    progress->SetTotal(counted + m_harvestedCatalog.size() + 1);
    cancelled = progress->Continued() != 1;
  }
  if (!cancelled) {
    while (!m_harvestedCatalog.empty()) {
      const bool stop = progress != nullptr && progress->Continued() != 1;
      auto entry = std::move(m_harvestedCatalog.front());
      m_harvestedCatalog.pop_front();
      Offer(builder, new CHFSPlusFileNode(this, &entry.first, &entry.second, 1), progress);
      if (stop) {
        cancelled = true;
        break;
      }
    }
  }
  m_harvestedCatalog.clear();
  if (cancelled) return HFS_FAIL(kHfsCancelled);
  if (!m_pCatalog) return m_lastResult;
  return Traverse(hfs::kCatalogFileId, builder, progress);
}
