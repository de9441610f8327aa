#pragma once
// Quick scan of one exFAT volume: from its boot sector, a breadth-first walk
// of the folder tree that hands every live and deleted entry set to the tree
// builder (searcher type 33).

#include <cstdint>
#include <deque>
#include <unordered_set>
#include <vector>

#include "core/model/Contracts.h"
#include "exfat/ExFatDirAnalyze.h"
#include "exfat/ExFatPartition.h"

class IStorageDevice;

// Codes of a refused exFAT quick scan (module 0x010A).
enum ExFatQuickCode : std::uint32_t {
  kExFatNoDeviceOrProgress = 0x5,
  kExFatNoBuilder = 0x7,
  kExFatRootUnreadable = 0xB,
  kExFatNotExFat = 0xC,
};

class CExFatQuickSearch final : public IQuickFileSystemSearchController {
 public:
  CExFatQuickSearch() = default;
  ~CExFatQuickSearch() override = default;

  void SetDirecotryTreeBuilder(IDirecotryTreeBuilder* builder) override { m_builder = builder; }
  // One record once the volume was recognised; none otherwise.
  int GetSearchedPartitionInfo(CSearchedPartitionInfo** out, int capacity) override;
  RESULT QuickSearchFiles(IStorageDevice* device, IProgress* progress) override;

  bool IsClusterProssed(std::uint32_t cluster) const { return m_clustersRead.count(cluster) != 0; }

 private:
  struct Folder {
    std::uint32_t firstCluster;
    std::uint64_t size;
    bool noFatChain;
    bool deleted;
  };

  RESULT PrepareSearch(IStorageDevice* device);
  RESULT QuickSearch(IStorageDevice* device, IProgress* progress);
  // Reads one folder and hands its entry sets over; false when a read failed.
  bool BuildChildren(IStorageDevice* device, const Folder& folder);
  // Decodes the folder's clusters; false when a read failed.
  bool ReadFolder(IStorageDevice* device, const Folder& folder);
  void FinishCutSet(IStorageDevice* device, std::uint32_t lastCluster);
  // Makes nodes of the decoded sets and queues the sub-folders.
  void HandOver(const Folder& folder);
  void LoadAllocationBitmap(IStorageDevice* device);

  IDirecotryTreeBuilder* m_builder = nullptr;
  CExFatPartition m_partition;
  CEFDTAnalyze m_analyze;
  std::vector<std::uint8_t> m_cluster;
  std::unordered_set<std::uint32_t> m_clustersRead;
  std::deque<Folder> m_liveFolders;
  std::deque<Folder> m_deletedFolders;
  std::uint32_t m_heapClusterLimit = 0;  // cluster count + 2
  bool m_prepared = false;
};

[[nodiscard]] IQuickFileSystemSearchController* CreateEXFatQuickSearcher();
