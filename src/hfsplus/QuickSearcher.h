#pragma once
// The HFS+ quick searcher: lists the deleted files whose catalog records
// survive in the journal, then the live catalog.

#include <memory>

#include "core/model/Contracts.h"

class CHFSPlusPrivateData;
class CHFSPlusVolume;

class CHFSPlusQuickFileSystemSearchController : public IQuickFileSystemSearchController {
 public:
  CHFSPlusQuickFileSystemSearchController();
  ~CHFSPlusQuickFileSystemSearchController() override;

  void SetDirecotryTreeBuilder(IDirecotryTreeBuilder* builder) override { m_pBuilder = builder; }
  // One record (start 0, file system 8); capacity 0 or less asks for the count.
  // The record borrows the searcher's volume.
  int GetSearchedPartitionInfo(CSearchedPartitionInfo** out, int capacity) override;
  RESULT QuickSearchFiles(IStorageDevice* device, IProgress* progress) override;

  CHFSPlusVolume* GetVolume() const;

 private:
  IDirecotryTreeBuilder* m_pBuilder = nullptr;
  std::unique_ptr<CHFSPlusPrivateData> m_pPrivateData;
  IStorageDevice* m_pDevice = nullptr;
  IProgress* m_pSink = nullptr;
  std::uint32_t m_u32BlockSize = 0;
};

[[nodiscard]] IQuickFileSystemSearchController* CreateHFSPlusQuickSearcher();
