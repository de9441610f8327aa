#pragma once
// Complete scan for NTFS volumes anywhere on a device: collects boot sectors,
// FILE and INDX records, $LogFile pages and $AttrDef and $UpCase contents
// sector by sector, rebuilds candidate partitions from them, keeps the proven
// ones and builds their trees.

#include <map>
#include <memory>
#include <vector>

#include "core/model/Contracts.h"
#include "ntfs/NtfsContentAnalyzers.h"
#include "ntfs/NtfsFoundRecords.h"
#include "ntfs/NtfsPartitionCandidates.h"

class CNTFSSearchController final : public ICompleteFileSystemSearchController {
 public:
  // Bytes read past the end of a block so that records it cuts are whole.
  static constexpr long long kLookaheadBytes = 48 * 1024;
  // Most runs of ordinary FILE records kept.
  static constexpr std::size_t kMaxPositionRuns = 4 * kMaxNtfsEvidence;
  // FILE records at their numbered places that make a $MFT known only from
  // its copy in $MFTMirr trusted, out of the records probed.
  static constexpr int kMinPlacedRecords = 16;
  static constexpr int kProbedRecords = 64;
  // Mirror copies checked at the end of the sweep.
  static constexpr std::size_t kMaxCopiesChecked = 256;

  CNTFSSearchController() = default;
  ~CNTFSSearchController() override = default;

  void SetDirecotryTreeBuilder(IDirecotryTreeBuilder* builder) override { m_pBuilder = builder; }
  // Copies of the kept partitions, owned by the caller. A null array or a
  // capacity below the count writes nothing.
  int GetSearchedPartitionInfo(CSearchedPartitionInfo** out, int capacity) override;
  void SetDevice(IStorageDevice* device) override { m_pDevice = device; }
  void SetBlockSize(int sectors) override { m_iBlockSectors = sectors; }
  int PreparetoSearch() override;
  void EndSearch(int build) override;
  int AnalyzeBlock(long long startSector, long long sectorCount) override;
  std::uint64_t GetFoundFileCount() const override { return m_foundFiles; }

  const std::vector<std::unique_ptr<CSearchedNTFSPartitionInfo>>& Partitions() const { return m_kept; }

 private:
  std::unique_ptr<CSearchedNTFSPartitionInfo> FromBootSector(long long start, long long total, int spc,
                                                             long long serial, int recordBytes, unsigned flags) const;
  void AnalyzeBootSector(long long sector, const ByteView& bytes);
  void AnalyzeIndexRecord(long long sector, const ByteView& bytes);
  void AnalyzeFileRecord(long long byte, const ByteView& bytes);
  void AnalyzeFolder(long long byte, const CNTFSFileRecord& record);
  void AnalyzeNormalFileRecord(long long byte, const CNTFSFileRecord& record);
  void AddIndexEvidence(const CIndexRecordInfo& index, const CFolderIndexAllocationInfo& folder);
  void AnalyzeContents(long long first, long long count);
  // Makes sectors [first, first + count + extra) readable through
  // BlockFrom.
  void LoadBlock(long long first, long long count, long long extra, long long lookahead);
  // The loaded bytes from byte `at` of the block on (at least to a
  // lookahead past it, or to the end of what was loaded).
  ByteView BlockFrom(std::size_t at) const;
  void AdoptMirrorCopies();
  bool AdoptMirrorCopy(const CMFTFilesPair& copy);
  void MergeEqualCandidates();
  void ScoreAndKeep();
  void ReleaseEvidence();

  IDirecotryTreeBuilder* m_pBuilder = nullptr;
  IStorageDevice* m_pDevice = nullptr;
  int m_iBlockSectors = 0;
  int m_iSectorSize = 512;
  // The block being analysed: bytes [0, m_seamAt) in the read-ahead cache
  // at m_inPlace (m_inPlaceBytes of them there), the rest up to
  // m_blockBytes, the lookahead included, copied into m_block.
  std::vector<std::uint8_t> m_block;
  const std::uint8_t* m_inPlace = nullptr;
  std::size_t m_inPlaceBytes = 0;
  std::size_t m_seamAt = 0;
  std::size_t m_blockBytes = 0;
  std::unique_ptr<CNTFSPartitionInfoBuilder> m_parts;
  std::vector<std::unique_ptr<CMFTInfo>> m_mfts;
  std::vector<CCommonFileRecordPositionInfo> m_positions;
  std::uint64_t m_foundFiles = 0;  // records of files (not folders or system files) swept so far
  std::multimap<long long, CIndexRecordInfo> m_indexRecords;  // by owning folder
  std::multimap<long long, std::unique_ptr<CFolderIndexAllocationInfo>> m_folders;
  std::unique_ptr<CMetaFileRecordGroupinMFTAnalyzer> m_groups;
  std::unique_ptr<CAttrDefFileAnalyzer> m_attrDef;
  std::unique_ptr<CUpCaseFileAnalyzer> m_upCase;
  std::unique_ptr<CLogFileAnalyzer> m_logFile;
  std::vector<std::unique_ptr<CSearchedNTFSPartitionInfo>> m_kept;
};

[[nodiscard]] ICompleteFileSystemSearchController* CreateNTFSSearcher();
