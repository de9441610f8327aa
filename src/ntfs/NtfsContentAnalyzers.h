#pragma once
// Analysers a complete NTFS sweep feeds sector by sector: the contents of
// $AttrDef and $UpCase against the standard copies, the $LogFile's restart
// and record pages, and the group of system records that follows a $MFT
// record. They turn the evidence into partition candidates and into the
// match counts that score them.

#include <map>
#include <memory>
#include <vector>

#include "ntfs/NtfsFoundRecords.h"
#include "ntfs/NtfsPartitionCandidates.h"

// Most entries any evidence list holds.
inline constexpr std::size_t kMaxNtfsEvidence = 500000;

// Ranges of 512-byte units (device byte / 512) whose contents matched.
class CMetaFileAnalyzer {
 public:
  void CombineSectorOfRange(long long unit);
  // Units inside [first, end).
  long long GetSectorRangeCount(long long first, long long end) const;
  // Matched units inside the runs of a file of the partition.
  long long GetMatchCount(const CNTFSDataRunList& runs, long long clusterBase, int sectorsPerCluster,
                          int sectorSize) const;
  std::size_t RangeCount() const { return m_ranges.size(); }

 private:
  std::map<long long, long long> m_ranges;  // first unit -> count
};

// Found FILE records of one system file, in sweep order.
template <class Info>
class CMetaFileInfoList {
 public:
  bool Add(std::unique_ptr<Info> info) {
    if (!info || m_infos.size() >= kMaxNtfsEvidence) return false;
    m_infos.push_back(std::move(info));
    return true;
  }
  bool Full() const { return m_infos.size() >= kMaxNtfsEvidence; }
  // The record numbered `number` of the partition's $MFT when its place is
  // known, else the first one inside the partition.
  const Info* Find(const CSearchedNTFSPartitionInfo& p, int number) const;
  const std::vector<std::unique_ptr<Info>>& Infos() const { return m_infos; }

 private:
  std::vector<std::unique_ptr<Info>> m_infos;
};

class CAttrDefFileAnalyzer {
 public:
  bool AnalyzeSectorBuffer(long long unit, const ByteView& data);
  void AnalyzeAttrDefFileRecord(long long byte, const CNTFSFileRecord& record, int sectorSize);
  void CalcAttrDefMatch(CSearchedNTFSPartitionInfo& p) const;

 private:
  CMetaFileInfoList<CAttrDefFileInfo> m_infos;
  CMetaFileAnalyzer m_contents;
};

class CUpCaseFileAnalyzer {
 public:
  bool AnalyzeSectorBuffer(long long unit, const ByteView& data);
  void AnalyzeUpCaseFileRecord(long long byte, const CNTFSFileRecord& record, int sectorSize);
  void CalcUpcaseMatch(CSearchedNTFSPartitionInfo& p) const;

 private:
  CMetaFileInfoList<CUpCaseFileInfo> m_infos;
  CMetaFileAnalyzer m_contents;
};

class CLogFileAnalyzer {
 public:
  explicit CLogFileAnalyzer(CNTFSPartitionInfoBuilder& builder) : m_builder(builder) {}

  // "RSTR", the client "NTFS" at 0x90 and the update sequence at the end of
  // each of the page's eight 512-byte pieces.
  static bool IsValidRSTRRecord(const ByteView& page);
  void AnalyzeRSTRRecord(long long sector);
  void AnalyzeLogFileFileRecord(long long byte, const CNTFSFileRecord& record);
  // A record page starting at this 512-byte unit (the view holds the page).
  bool AnalyzeRCRDPage(long long unit, const ByteView& page);
  void CalcLogFileMatch(CSearchedNTFSPartitionInfo& p) const;
  bool IsaMetaFileRecordNotNeedtoCount() const { return m_infos.Full(); }

 private:
  long long PageSectors() const;
  void AddOrMergeAt(long long sector, const CLogFileInfo& log, unsigned flags);

  CNTFSPartitionInfoBuilder& m_builder;
  CMetaFileInfoList<CLogFileInfo> m_infos;
  std::vector<long long> m_restarts;  // sectors of restart pages, in sweep order
  CMetaFileAnalyzer m_pages;
};

// A found $MFT and the $MFTMirr met in the same record group.
struct CMFTFilesPair {
  const CMFTInfo* mft;
  const CMFTMirrInfo* mirror;
};

// Follows the system records that start at a $MFT record and derives
// candidates from each group: from the $MFT alone, or from a $MFT and its
// $MFTMirr, which confirm each other when the mirror's group places the
// partition whose $MFT is the other group's.
class CMetaFileRecordGroupinMFTAnalyzer {
 public:
  CMetaFileRecordGroupinMFTAnalyzer(CNTFSPartitionInfoBuilder& builder, std::vector<std::unique_ptr<CMFTInfo>>& mfts)
      : m_builder(builder), m_mfts(mfts) {}

  // Called for every place a FILE record may start, in ascending order, with
  // the record parsed there (invalid when none).
  bool AnalyzeNTFSMetaFileRecord(long long byte, const CNTFSFileRecord& record);
  // The group still open at the end of the sweep.
  void Finish();
  bool IsaMetaFileRecordNotNeedtoCount(const CNTFSFileRecord& record) const;
  // $MFT records met in a mirror group that found no partition of their own.
  const std::vector<CMFTFilesPair>& UnconfirmedMirrorCopies() const { return m_copies; }

 private:
  void EndGroup();
  void AnalyzePair(const CMFTInfo& mft, const CMFTMirrInfo& mirror);
  void AnalyzeSingle(const CMFTInfo& mft);
  void AdjustSize(CSearchedNTFSPartitionInfo& p) const;

  CNTFSPartitionInfoBuilder& m_builder;
  std::vector<std::unique_ptr<CMFTInfo>>& m_mfts;
  std::vector<std::unique_ptr<CMFTMirrInfo>> m_mirrors;
  std::vector<CMFTFilesPair> m_pairs;
  std::vector<CMFTFilesPair> m_copies;
  const CMFTInfo* m_pMft = nullptr;
  const CMFTMirrInfo* m_pMirror = nullptr;
  long long m_llGroupByte = -1;
  int m_iGroupRecordBytes = 1024;
  long long m_llBitmapClusters = -1;
};
