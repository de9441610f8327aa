#pragma once
// Quick scan of one volume: the volume's own file-system searcher reads its
// metadata (journal, MFT, directory entries).

#include <memory>
#include <vector>

#include "core/controller/TreeBuilderHandle.h"
#include "core/model/Contracts.h"

class CDeletedRecoveryController : public IRecoveryController {
 public:
  CDeletedRecoveryController() = default;
  ~CDeletedRecoveryController() override;
  CDeletedRecoveryController(const CDeletedRecoveryController&) = delete;
  CDeletedRecoveryController& operator=(const CDeletedRecoveryController&) = delete;

  int thisType() override { return kControllerQuick; }
  int Initialize(IRecoveryFilter* filter) override;
  [[nodiscard]] RESULT StartDataRecovery(IStorageDevice* device, IProgress* progress, IDrirectoryTree* tree) override;
  IDataRecovery* GetDataRecovery(_tagSearcherType type) const override;
  // Destroys the controller, its builder (and every node) and its searcher.
  void Release() override;

 private:
  TreeBuilderHandle m_pTreeBuilder;
  IRecoveryFilter* m_pFilter = nullptr;
  IStorageDevice* m_pDevice = nullptr;
  std::unique_ptr<IQuickFileSystemSearchController> m_pSearcher;
  // Builders and searchers of earlier volumes of the same scan: their nodes
  // stay shown until the controller is released.
  std::vector<TreeBuilderHandle> m_retiredBuilders;
  std::vector<std::unique_ptr<IQuickFileSystemSearchController>> m_retiredSearchers;
};
