#pragma once
// Complete scan: sweeps the device in 4 MiB blocks through the read-ahead
// cache and hands every block to the complete searchers of all engines.

#include <memory>
#include <vector>

#include "core/bitmap/Bitmap.h"
#include "core/cache/StorageDeviceWithCache.h"
#include "core/controller/SearcherCrew.h"
#include "core/controller/SerializedSinks.h"
#include "core/controller/TreeBuilderHandle.h"
#include "core/model/Contracts.h"

class CCompleteRecoveryController : public IRecoveryController {
 public:
  // Bytes per sweep block.
  static constexpr int kSweepBlockBytes = 4 * 1024 * 1024;

  CCompleteRecoveryController() = default;
  ~CCompleteRecoveryController() override;
  CCompleteRecoveryController(const CCompleteRecoveryController&) = delete;
  CCompleteRecoveryController& operator=(const CCompleteRecoveryController&) = delete;

  int thisType() override { return kControllerComplete; }
  int Initialize(IRecoveryFilter* filter) override;
  [[nodiscard]] RESULT StartDataRecovery(IStorageDevice* device, IProgress* progress, IDrirectoryTree* tree) override;
  IDataRecovery* GetDataRecovery(_tagSearcherType type) const override;
  // Destroys the controller with its builder (and every node), searchers,
  // cache and bitmap.
  void Release() override;

  // Sweeps blocks first / bs .. last / bs of the kept device; 0 also after a
  // cancel.
  [[nodiscard]] RESULT SearchData(long long first, long long last, IProgress* progress);

  // Sectors per sweep block for a device (4 MiB worth).
  static int SweepBlockSectors(IStorageDevice* device);

 private:
  struct _SEARCHER_INFO {
    _tagSearcherType type;
    std::unique_ptr<ICompleteFileSystemSearchController> searcher;
  };

  void MakeSearchers(IStorageDevice* device, IProgress* progress);
  void PrepareSearchers(int blockSize);
  void EndSearchers(IProgress* progress);
  void ReleaseAll();
  // The searchers with what each waits for within a block.
  std::vector<CSearcherCrew::Member> CrewMembers() const;

  TreeBuilderHandle m_pTreeBuilder;
  // What the searchers are given in place of the builder and the progress
  // sink: they may call them from their sweep threads.
  std::unique_ptr<CSerializedTreeBuilder> m_pSearcherBuilder;
  std::unique_ptr<CSerializedProgress> m_pSearcherProgress;
  IRecoveryFilter* m_pFilter = nullptr;
  IStorageDevice* m_pDevice = nullptr;
  std::vector<_SEARCHER_INFO> m_searchers;
  std::unique_ptr<CStorageDeviceWithCache> m_pCache;
  FileSectorMap m_fileSectorMap;
  std::unique_ptr<TBitmap> m_pBitmap;
};

// Complete scan of a whole disk.
class CPartitionRecoveryController : public CCompleteRecoveryController {
 public:
  int thisType() override { return kControllerWholeDisk; }
};
