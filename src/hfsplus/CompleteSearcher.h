#pragma once
// The HFS+ complete searcher: finds volume headers, journal structures and
// catalog leaves sector by sector during the deep-scan sweep, groups them
// into candidate volumes and turns catalog records into file nodes. An
// intact volume listed by the disk is walked at once and the sectors of its
// live files are marked in the shared bitmap.

#include <cstdint>
#include <memory>
#include <vector>

#include "core/device/DeviceData.h"
#include "core/model/Contracts.h"
#include "hfsplus/CatalogRecord.h"
#include "hfsplus/CompleteSearchPartition.h"
#include "hfsplus/SectorSignatures.h"

class CHFSPlusBTNode;
class CHFSPlusFileNode;

class CHFSPlusCompleteFileSystemSearchController : public ICompleteFileSystemSearchController {
 public:
  // Catalog bytes held in memory by all candidate volumes together.
  static constexpr std::uint64_t kCatalogCacheBudget = 256ull << 20;
  // Candidates beyond this number are not made.
  static constexpr std::size_t kMaxCandidates = 1024;
  // File nodes kept, all candidates together, to be given their volume when
  // it opens only after they were made.
  static constexpr std::size_t kMaxWaitingNodes = 1u << 16;

  CHFSPlusCompleteFileSystemSearchController();
  ~CHFSPlusCompleteFileSystemSearchController() override;
  CHFSPlusCompleteFileSystemSearchController(const CHFSPlusCompleteFileSystemSearchController&) = delete;
  CHFSPlusCompleteFileSystemSearchController& operator=(const CHFSPlusCompleteFileSystemSearchController&) = delete;

  void SetDirecotryTreeBuilder(IDirecotryTreeBuilder* builder) override { m_pBuilder = builder; }
  int GetSearchedPartitionInfo(CSearchedPartitionInfo** out, int capacity) override;
  void SetDevice(IStorageDevice* device) override;
  void SetBlockSize(int sectors) override { m_iBlockSize = sectors; }
  int PreparetoSearch() override;
  void EndSearch(int build) override;
  int AnalyzeBlock(long long startSector, long long sectorCount) override;
  std::uint64_t GetFoundFileCount() const override { return m_foundFiles; }
  void SetIProgressSink(IProgress* progress) override { m_pProgress = progress; }
  void SetBitmap(TBitmap* bitmap) override { m_pBitmap = bitmap; }
  TBitmap* GetBitmap() override { return m_pBitmap; }
  void SetActivePartition(bool active) override { m_bActivePartition = active; }

  const std::vector<std::unique_ptr<CompleteSearchPatition>>& Candidates() const { return m_candidates; }
  RESULT GetLastResult() const { return m_lastResult; }

 private:
  // Sweep.
  long long AnalyzeSector(long long sector, long long left, const std::uint8_t* bytes, const std::uint8_t* blockEnd);
  bool TestVolumeHeader(long long sector, const ByteView& bytes);
  void RegisterVolumeHeader(long long sector, const VolumeHeaderHit& hit);
  bool TestJournalInfoBlock(long long sector, const ByteView& bytes);
  bool TestJournalHeader(long long sector, const ByteView& bytes);
  long long TestBTreeNode(long long sector, long long left, const std::uint8_t* bytes, const std::uint8_t* blockEnd);
  void AnalyzeNode(long long sector, const ByteView& bytes, std::uint32_t nodeSize);
  void AnalyzeCatalogLeaf(long long sector, const CHFSPlusBTNode& leaf);

  // Candidates.
  CompleteSearchPatition* AddCandidate(long long start, long long count);
  // Where the volume of a header found at `sector` starts, whether the
  // header was its main one and whether more than its position says so;
  // false when it cannot be placed.
  struct Placement {
    long long start = -1;
    bool isMain = false;
    bool confirmed = false;
  };
  bool PlaceHeader(long long sector, const VolumeHeaderHit& hit, Placement& place);
  // Another copy of a volume a candidate already holds: moves that candidate
  // when only this copy is confirmed. True when the copy was taken care of.
  bool TakeOtherCopy(long long sector, const Placement& place, const HFSPlusVolumeHeader& header);
  // A catalog B-tree header node at the catalog's first block.
  bool CatalogHeaderNodeAt(long long start, const HFSPlusVolumeHeader& header);
  void StoreHeader(CompleteSearchPatition& c, long long sector, const Placement& place,
                   const HFSPlusVolumeHeader& header);
  bool IsDiskVolumeStart(long long start) const;

  // Record assignment.
  CompleteSearchPatition* AdjustNodeBelongsPartitionIndex(const HFSPlusCatalogRecord& record, long long sector,
                                                          CHFSPlusVolume*& volume);
  bool OpenCandidateVolume(CompleteSearchPatition& c);
  // A volume over the candidate from the header copy it was placed by, when
  // that is the alternate one.
  void OpenFromAlternateHeader(CompleteSearchPatition& c, IStorageDevice* device, std::uint64_t cache);
  // Gives the waiting file nodes the volume of the candidate they were
  // assigned to, once it has one, and forgets them all.
  void AttachWaitingNodes();
  void ScanIntactVolume(CompleteSearchPatition& c);

  long long ReadAt(long long sector, long long count, std::uint8_t* out);

  IStorageDevice* m_pDevice = nullptr;
  int m_iBlockSize = 0;
  long long m_llTotalSectors = 0;
  int m_iSectorSize = 512;
  std::vector<std::unique_ptr<CompleteSearchPatition>> m_candidates;
  std::vector<std::uint8_t> m_readBuffer;
  std::vector<std::uint8_t> m_blockBuffer;
  std::vector<std::uint8_t> m_nodeBuffer;
  RESULT m_lastResult = 0;
  int m_iDeviceType = -1;
  std::vector<CCollectedVolumeDeviceInfoStruct> m_diskVolumes;
  bool m_bActivePartition = false;
  TBitmap* m_pBitmap = nullptr;
  IProgress* m_pProgress = nullptr;
  IDirecotryTreeBuilder* m_pBuilder = nullptr;
  std::uint64_t m_u64CatalogBudgetLeft = kCatalogCacheBudget;

  // A file node made without a volume whose content needs one (overflow
  // extents, compression, a hard link). The builder holds the node until
  // FlashBuild; only files are kept, which it frees no earlier.
  struct WaitingNode {
    CHFSPlusFileNode* node = nullptr;
    CompleteSearchPatition* candidate = nullptr;
    long long sector = -1;
    HFSPlusCatalogRecord record;
  };
  std::vector<WaitingNode> m_waiting;
  std::uint64_t m_foundFiles = 0;  // catalog file records taken so far
};

[[nodiscard]] ICompleteFileSystemSearchController* CreateHFSPlusSearcher();
