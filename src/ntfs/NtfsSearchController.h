#pragma once
// Complete scan for NTFS volumes anywhere on a device: collects boot sectors,
// FILE and INDX records, $LogFile pages and $AttrDef and $UpCase contents
// sector by sector, rebuilds candidate partitions from them, keeps the proven
// ones and builds one tree per kept partition.

#include <map>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "core/model/Contracts.h"
#include "ntfs/FileRecord.h"
#include "ntfs/SearchedNtfsPartitionInfo.h"

class CNTFSSearchController final : public ICompleteFileSystemSearchController {
 public:
  // Sectors read past the end of a block so that records it cuts are whole.
  static constexpr long long kLookaheadBytes = 48 * 1024;
  // Most entries any evidence list keeps.
  static constexpr std::size_t kMaxEvidence = 500000;

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

  const std::vector<std::unique_ptr<CSearchedNTFSPartitionInfo>>& Partitions() const { return m_kept; }

 private:
  using Key = std::pair<long long, int>;  // cluster base sector, sectors per cluster
  struct Folder {
    long long number;
    CNTFSDataRunList runs;
  };
  struct IndexRecordAt {
    long long sector;
    long long vcn;
    long long owner;
  };
  struct RecordAt {
    long long sector;
    unsigned offset;
    long long number;  // from the record's header, -1 when it has none
  };
  // What the copy of $MFT's record in $MFTMirr says about the $MFT.
  struct MirrorCopy {
    CNTFSDataRunList mftRuns;
    CNTFSDataRunList logRuns;
    int recordBytes;
  };
  // FILE records at their numbered places that make a $MFT known only from
  // its mirror copy trusted.
  static constexpr long long kMinPlacedRecords = 16;

  CSearchedNTFSPartitionInfo& Candidate(long long base, int spc);
  void AnalyzeBootSector(long long sector, const ByteView& bytes);
  void AnalyzeFileRecord(long long sector, unsigned offset, const ByteView& bytes);
  void AnalyzeMftGroup(long long sector, const CNTFSFileRecord& mft, const ByteView& following, int recordBytes);
  void AnalyzeSector(long long s, const ByteView& p);
  void AnalyzeContents(long long unit512, const ByteView& bytes);
  void AdoptMirrorMft(CSearchedNTFSPartitionInfo& p, const Key& key);
  void Score(CSearchedNTFSPartitionInfo& p);
  long long CountUnits(const std::set<long long>& units, const CNTFSDataRunList& runs,
                       const CSearchedNTFSPartitionInfo& p) const;
  void BuildTree(CSearchedNTFSPartitionInfo& p, int index);

  IDirecotryTreeBuilder* m_pBuilder = nullptr;
  IStorageDevice* m_pDevice = nullptr;
  int m_iBlockSectors = 0;
  int m_iSectorSize = 512;
  std::vector<std::uint8_t> m_block;
  std::map<Key, std::unique_ptr<CSearchedNTFSPartitionInfo>> m_candidates;
  std::vector<std::unique_ptr<CSearchedNTFSPartitionInfo>> m_kept;
  std::vector<Folder> m_folders;
  std::vector<IndexRecordAt> m_indexRecords;
  std::vector<RecordAt> m_records;  // in ascending sector order
  std::map<Key, MirrorCopy> m_mirrorCopies;
  std::vector<long long> m_restartPages;
  std::set<long long> m_logUnits;      // 512-byte units of recognised log pages
  std::set<long long> m_attrDefUnits;  // 512-byte units equal to $AttrDef contents
  std::set<long long> m_upCaseUnits;
};

[[nodiscard]] ICompleteFileSystemSearchController* CreateNTFSSearcher();
