#pragma once
// The carving searcher (searcher type 34): offers every sector that no file
// system explains to the registered analysers, follows each candidate until
// its size is known and hands it to the carved-file trees (34 by
// extension, 36 by label).
//
// The analyser registry's set 0, the name counters, the folder ids and the
// cancel gate are process-wide: one carving search runs at a time. A second
// searcher prepared while one is running stays idle.

#include <cstddef>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <vector>

#include "carving/BufferStorageDevice.h"
#include "carving/LabelRawTreeBuilder.h"
#include "carving/RawFileAnalyserList.h"
#include "core/filetype/FileTypeManager.h"
#include "core/model/Contracts.h"
#include "platform/BlockPairViews.h"
#include "platform/PageBuffer.h"

class CRAWFileManager;
class CStorageDeviceWithCache;

class CRAWSearchController : public ICompleteFileSystemSearchController {
 public:
  static constexpr int kMaxOpenFiles = 32;
  static constexpr unsigned kRingBlocks = 20;

  CRAWSearchController();
  ~CRAWSearchController() override;
  CRAWSearchController(const CRAWSearchController&) = delete;
  CRAWSearchController& operator=(const CRAWSearchController&) = delete;

  void SetDirecotryTreeBuilder(IDirecotryTreeBuilder* builder) override { m_pBuilder = builder; }
  int GetSearchedPartitionInfo(CSearchedPartitionInfo** out, int capacity) override;
  void SetDevice(IStorageDevice* device) override;
  void SetBlockSize(int sectors) override;
  int PreparetoSearch() override;
  void EndSearch(int build) override;
  // Reads the block into the block buffer (nothing else is looked at).
  void PrepareBlock(long long startSector, long long sectorCount) override;
  int AnalyzeBlock(long long startSector, long long sectorCount) override;
  std::uint64_t GetFoundFileCount() const override { return m_foundFiles; }
  void SetIProgressSink(IProgress* progress) override;
  void SetBitmap(TBitmap* bitmap) override { m_pBitmap = bitmap; }
  void SetFileSectorMap(FileSectorMap* map) override { m_pFileSectorMap = map; }
  TBitmap* GetBitmap() override { return m_pBitmap; }

  // True while this searcher holds the process's carving search.
  bool IsActive() const { return m_bActive; }

 private:
  // Whether a block [start, start + count) is swept at all.
  bool Sweeps(long long start, long long count) const;
  // The start of the view whose second half takes the next block.
  unsigned char* LowerHalf() const;
  // Reads the block into that half, zeros after a short one, and notes it
  // as read in; false when the read fails.
  bool LoadBlock(long long start, long long count);
  // Marks the low two bytes of every key of the registry's map and
  // multimap (set 0).
  void IndexKeys();
  // False when no map or multimap key can match a sector that begins with
  // the u32 `first`.
  bool KeyMayMatch(unsigned first) const;
  // The analyser that accepts the sector, its findings in `probe` (which
  // comes in as a fresh CRawFileInfo); null when none does.
  IRawFileAnalyser* FindAnalyser(unsigned char* data, CRawFileInfo& probe, long long sector,
                                 const CRawFileInfo::SearchContext& context);
  CRawFileInfo* CreateCandidate(IRawFileAnalyser* analyser, const CRawFileInfo& probe, long long sector);
  void AddRawFileInfoToList(CRawFileInfo* candidate, unsigned char* data, long long sector);
  void CalcRawFileSize(unsigned char* data, CRawFileInfo* fresh, long long sector,
                       CRawFileInfo::SearchContext& context);
  void FlushReadBack(long long blockSectors);
  CRAWFileManager* GetFileManager(int type);
  bool Deliver(CRawFileInfo* candidate);
  // A find whose end is a guess stops where the next file found begins.
  void CutAtNextStart(CRawFileInfo* candidate) const;
  // Delivers the held finds that no later start can cut any more (all of
  // them once the sweep is over).
  void DeliverHeldFinds();
  void RecordStart(long long sector, int type);
  static bool SizeThroughDevice(CRawFileInfo* candidate, IStorageDevice* device);
  void ReleaseSearch();
  void DeleteCandidates();

  CFileTypeManager m_fileTypes;
  std::map<int, std::unique_ptr<CRAWFileManager>> m_managers;
  // Per type: delivered finds, first byte -> end byte on the device.
  std::map<int, std::map<long long, long long>> m_delivered;
  std::uint64_t m_foundFiles = 0;  // files delivered so far
  // The first sector and type of every candidate, in sweep order.
  std::vector<std::pair<long long, int>> m_starts;
  // Finds with a guessed end that reaches past the sectors swept so far.
  std::vector<std::unique_ptr<CRawFileInfo>> m_held;
  long long m_llSweptTo = 0;  // one past the last sector offered to the analysers
  bool m_bSweepOver = false;
  IStorageDevice* m_pDevice = nullptr;
  // The device when it is the sweep's read-ahead cache.
  CStorageDeviceWithCache* m_pCache = nullptr;
  int m_iSectorsPerBlock = 0;
  IDirecotryTreeBuilder* m_pBuilder = nullptr;
  CBufferStorageDevice m_ring;
  std::list<CRawFileInfo*> m_waiting;
  std::list<CRawFileInfo*> m_readBack;
  FileSectorMap* m_pFileSectorMap = nullptr;
  std::size_t m_uBlockBufferSize = 0;
  // Two blocks (the one before the current one, then the current one) and
  // kBlockBufferTail zeros. Where the system can map them so, the blocks are
  // a pair seen in either order and are filled in turn (m_iFillBlock next);
  // otherwise one buffer whose upper half is copied down after each block.
  static constexpr std::size_t kBlockBufferTail = 4096;
  platform::BlockPairViews m_blockPair;
  int m_iFillBlock = 0;
  platform::PageBuffer m_blockBuffer;
  // The block PrepareBlock read into the buffer's current half, or -1, and
  // whether the read succeeded.
  long long m_llLoadedStart = -1;
  long long m_llLoadedCount = 0;
  bool m_bLoadedRead = false;
  int m_iSectorSize = 512;
  std::vector<CRawFileInfo*> m_open;
  TBitmap* m_pBitmap = nullptr;

  IProgress* m_pProgress = nullptr;
  std::unique_ptr<CLABELRAWTreeBuilder> m_pLabels;
  long long m_llNextFileId = 10000;
  bool m_bActive = false;
  // The lower half of the block buffer holds the block just before the
  // current one.
  bool m_bLowerValid = false;
  long long m_llLastBlockEnd = -1;
  // One bit per possible low u16 of a sector's first u32 (IndexKeys), with
  // the sizes of the map and multimap it was made from.
  static constexpr std::size_t kKeyWords = 65536 / 64;
  std::vector<std::uint64_t> m_keyBits;
  std::size_t m_indexedMap = 0;
  std::size_t m_indexedMultimap = 0;
};

[[nodiscard]] ICompleteFileSystemSearchController* CreateRAWSearcher();
