#pragma once
// The complete scan for FAT16 and FAT32 partitions: during the core's sweep
// it collects boot sectors, FAT first sectors and folder sectors; at the end
// it keeps the partitions the evidence proves and builds their trees.

#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "core/model/Contracts.h"
#include "core/util/ByteView.h"
#include "fat/FatBootSector.h"
#include "fat/FatBuildWorker.h"
#include "fat/FatSearchedPartitionInfo.h"

struct CFatSearchedPartitionInfoLess {
  bool operator()(const CFATSearchedPartitionInfo* a, const CFATSearchedPartitionInfo* b) const {
    return a->GetDataStart() < b->GetDataStart();
  }
};

class CFATCompleteFSearcher final : public ICompleteFileSystemSearchController {
 public:
  static constexpr std::uint32_t FAT_SUPPORTED_SECTORS_PER_CLUSTER[8] = {1, 2, 4, 8, 16, 32, 64, 128};
  // Sub-folder evidence stops making new candidates past this many.
  static constexpr std::size_t kMaxCandidates = 1u << 16;

  CFATCompleteFSearcher() = default;
  ~CFATCompleteFSearcher() override;
  CFATCompleteFSearcher(const CFATCompleteFSearcher&) = delete;
  CFATCompleteFSearcher& operator=(const CFATCompleteFSearcher&) = delete;

  void SetDirecotryTreeBuilder(IDirecotryTreeBuilder* builder) override { m_builder = builder; }
  // With a null array, the count; else clones of all (or 0 when they do not fit).
  int GetSearchedPartitionInfo(CSearchedPartitionInfo** out, int capacity) override;
  void SetDevice(IStorageDevice* device) override;
  void SetBlockSize(int sectors) override { m_sectorsPerBlock = sectors; }
  int PreparetoSearch() override;
  void EndSearch(int build) override;
  int AnalyzeBlock(long long startSector, long long sectorCount) override;
  std::uint64_t GetFoundFileCount() const override { return m_foundFiles; }
  void SetFileSectorMap(FileSectorMap* map) override { m_fileSectorMap = map; }

  // Examines one sector's bytes found at `sector`.
  void AnalyzeSector(long long sector, const ByteView& bytes);
  // Moves the candidates the evidence proves into `out`, scored.
  void AddSearchedPartitionInfoList2(std::vector<CFATSearchedPartitionInfo*>& out);

  const std::vector<CFATSearchedPartitionInfo*>& Partitions() const { return m_partitions; }

 private:
  bool AnalyzeFATDBRSector(long long sector, const ByteView& bytes);
  [[nodiscard]] CFATSearchedPartitionInfo* BuildPartitionInfoAccordingFATDBR(long long start, const CTempFATDBR& dbr,
                                                                             bool backup) const;
  void InsertCandidate(CFATSearchedPartitionInfo* candidate, bool registerFats);
  CFATSearchedPartitionInfo* FindCandidate(long long dataStart, std::uint32_t sectorsPerCluster) const;
  void UpdateFATTableInfo(long long sector);
  void AnalyzeFATSubFolderFirstSector(long long sector, std::uint32_t cluster);
  [[nodiscard]] CFATSearchedPartitionInfo* BuildPartitionInfoAccordingtoSubFolder(long long sector,
                                                                                  std::uint32_t cluster,
                                                                                  std::uint32_t s) const;
  bool IsValidFileSystem(long long dataStart, std::uint32_t s, enumFILE_SYSTEM_TYPE type, std::uint64_t& clusters,
                         std::uint64_t& sectorsPerFat) const;
  RESULT CompleteBulidDirectoryTree(CFATSearchedPartitionInfo* partition);
  void ClearCandidates();

  int m_sectorsPerBlock = -1;
  IStorageDevice* m_device = nullptr;
  IDirecotryTreeBuilder* m_builder = nullptr;
  std::vector<CFATSearchedPartitionInfo*> m_partitions;
  IProgress* m_progress = nullptr;  // never set: builds report nothing
  std::multiset<CFATSearchedPartitionInfo*, CFatSearchedPartitionInfoLess> m_candidates;
  std::multimap<long long, CFATSearchedPartitionInfo*> m_fatPositions;
  FolderSectorSet m_folderSectors;
  std::uint64_t m_foundFiles = 0;  // file entries in the folder sectors swept
  std::uint32_t m_sectorSize = 512;
  FileSectorMap* m_fileSectorMap = nullptr;
  std::vector<std::uint8_t> m_block;
};

[[nodiscard]] ICompleteFileSystemSearchController* CreateFATSearcher();
