#include "ntfs/NtfsContentAnalyzers.h"

#include <algorithm>

#include "ntfs/LogPage.h"
#include "ntfs/LogPageLayout.h"
#include "ntfs/MetaFileRecord.h"
#include "ntfs/NtfsReferenceTables.h"

namespace {

constexpr long long kUnit = 512;
constexpr char16_t kRestartClient[] = u"NTFS";
constexpr int kAttrDefRecord = 4;
constexpr int kUpCaseRecord = 10;
constexpr int kLogFileRecord = 2;

}  // namespace

// --- sector ranges ----------------------------------------------------------

void CMetaFileAnalyzer::CombineSectorOfRange(long long unit) {
  auto next = m_ranges.upper_bound(unit);
  if (next != m_ranges.begin()) {
    auto prev = std::prev(next);
    if (unit < prev->first + prev->second) return;  // already counted
    if (unit == prev->first + prev->second) {
      ++prev->second;
      if (next != m_ranges.end() && next->first == unit + 1) {
        prev->second += next->second;
        m_ranges.erase(next);
      }
      return;
    }
  }
  if (next != m_ranges.end() && next->first == unit + 1) {
    const long long count = next->second + 1;
    m_ranges.erase(next);
    m_ranges.emplace(unit, count);
    return;
  }
  if (m_ranges.size() < kMaxNtfsEvidence) m_ranges.emplace(unit, 1);
}

long long CMetaFileAnalyzer::GetSectorRangeCount(long long first, long long end) const {
  if (end <= first) return 0;
  long long count = 0;
  auto it = m_ranges.upper_bound(first);
  if (it != m_ranges.begin()) --it;
  for (; it != m_ranges.end() && it->first < end; ++it) {
    const long long lo = std::max(first, it->first);
    const long long hi = std::min(end, it->first + it->second);
    if (hi > lo) count += hi - lo;
  }
  return count;
}

long long CMetaFileAnalyzer::GetMatchCount(const CNTFSDataRunList& runs, long long clusterBase, int spc,
                                           int sectorSize) const {
  const long long unitsPerSector = std::max<long long>(1, sectorSize / kUnit);
  long long unitsPerCluster = 0;
  long long baseUnit = 0;
  if (__builtin_mul_overflow(unitsPerSector, static_cast<long long>(spc), &unitsPerCluster) ||
      __builtin_mul_overflow(clusterBase, unitsPerSector, &baseUnit)) {
    return 0;
  }
  long long count = 0;
  for (const CDataRun& r : runs.Runs()) {
    long long from = 0;
    long long span = 0;
    if (r.lcn < 0 || __builtin_mul_overflow(r.lcn, unitsPerCluster, &from) ||
        __builtin_mul_overflow(r.length, unitsPerCluster, &span) || __builtin_add_overflow(from, baseUnit, &from) ||
        __builtin_add_overflow(from, span, &span)) {
      continue;
    }
    count += GetSectorRangeCount(from, span);
  }
  return count;
}

// --- finding a partition's system file ---------------------------------------

template <class Info>
const Info* CMetaFileInfoList<Info>::Find(const CSearchedNTFSPartitionInfo& p, int number) const {
  if (p.m_llMftByte >= 0) {
    const long long wanted = p.m_llMftByte + static_cast<long long>(number) * p.m_iRecordBytes;
    for (const auto& info : m_infos) {
      if (info->GetByteAddress() == wanted) return info.get();
      if (info->GetByteAddress() > wanted) break;
    }
  }
  const long long end = p.m_llClusterBaseSector + p.GetTotalSectors();
  for (const auto& info : m_infos) {
    const long long s = info->GetSectorAddress();
    if (s >= end) break;
    if (s >= p.m_llClusterBaseSector) return info.get();
  }
  return nullptr;
}

template class CMetaFileInfoList<CAttrDefFileInfo>;
template class CMetaFileInfoList<CUpCaseFileInfo>;
template class CMetaFileInfoList<CLogFileInfo>;

// --- $AttrDef and $UpCase ------------------------------------------------------

bool CAttrDefFileAnalyzer::AnalyzeSectorBuffer(long long unit, const ByteView& data) {
  if (!data.Has(0, kUnit)) return false;
  const std::uint8_t* reference = ntfsref::AttrDefContents();
  for (std::size_t k = 0; k < ntfsref::kAttrDefBytes / kUnit; ++k) {
    if (data.Equals(0, reference + k * kUnit, kUnit)) {
      m_contents.CombineSectorOfRange(unit);
      return true;
    }
  }
  return false;
}

void CAttrDefFileAnalyzer::AnalyzeAttrDefFileRecord(long long byte, const CNTFSFileRecord& record, int sectorSize) {
  auto info = std::make_unique<CAttrDefFileInfo>();
  if (!m_infos.Full() && info->InitFromBuffer(record, byte, sectorSize, false)) m_infos.Add(std::move(info));
}

void CAttrDefFileAnalyzer::CalcAttrDefMatch(CSearchedNTFSPartitionInfo& p) const {
  const CAttrDefFileInfo* info = m_infos.Find(p, kAttrDefRecord);
  p.m_llAttrDefMatch = 0;
  if (info == nullptr) return;
  p.m_llAttrDefSector = info->GetSectorAddress();
  p.m_llAttrDefMatch = m_contents.GetMatchCount(info->GetDataRunList(), p.m_llClusterBaseSector, p.m_iSectorsPerCluster,
                                                p.m_iSectorSize);
}

bool CUpCaseFileAnalyzer::AnalyzeSectorBuffer(long long unit, const ByteView& data) {
  if (!data.Has(0, kUnit)) return false;
  const std::size_t k = data.U8(1);
  if (!data.Equals(0, ntfsref::UpCaseContents().data() + k * kUnit, kUnit)) return false;
  m_contents.CombineSectorOfRange(unit);
  return true;
}

void CUpCaseFileAnalyzer::AnalyzeUpCaseFileRecord(long long byte, const CNTFSFileRecord& record, int sectorSize) {
  auto info = std::make_unique<CUpCaseFileInfo>();
  if (!m_infos.Full() && info->InitFromBuffer(record, byte, sectorSize, false)) m_infos.Add(std::move(info));
}

void CUpCaseFileAnalyzer::CalcUpcaseMatch(CSearchedNTFSPartitionInfo& p) const {
  const CUpCaseFileInfo* info = m_infos.Find(p, kUpCaseRecord);
  p.m_llUpCaseMatch = 0;
  if (info == nullptr) return;
  p.m_llUpCaseSector = info->GetSectorAddress();
  p.m_llUpCaseMatch = m_contents.GetMatchCount(info->GetDataRunList(), p.m_llClusterBaseSector, p.m_iSectorsPerCluster,
                                               p.m_iSectorSize);
}

// --- $LogFile ------------------------------------------------------------------

bool CLogFileAnalyzer::IsValidRSTRRecord(const ByteView& page) {
  if (!page.Has(0, ntfslog::kPageBytes) || page.U32Le(0) != ntfslog::kRstrSignature) return false;
  for (std::size_t i = 0; i < 4; ++i) {
    if (page.U16Le(0x90 + 2 * i) != static_cast<std::uint16_t>(kRestartClient[i])) return false;
  }
  const std::uint16_t sequence = page.U16Le(0x1E);
  for (std::size_t k = 0; k < 8; ++k) {
    if (page.U16Le(510 + 512 * k) != sequence) return false;
  }
  return true;
}

long long CLogFileAnalyzer::PageSectors() const {
  return std::max<long long>(1, static_cast<long long>(ntfslog::kPageBytes) / m_builder.SectorSize());
}

void CLogFileAnalyzer::AddOrMergeAt(long long sector, const CLogFileInfo& log, unsigned flags) {
  m_builder.AddOrMerge(m_builder.BuildFromFile(sector, log.GetFirstClusterNO(), log.GetSectorsPerCluster(), flags));
}

void CLogFileAnalyzer::AnalyzeRSTRRecord(long long s) {
  if (m_restarts.size() >= kMaxNtfsEvidence) return;
  const long long pg = PageSectors();
  const bool second = !m_restarts.empty() && m_restarts.back() == s - pg;
  for (const auto& log : m_infos.Infos()) {
    if (log->GetFirstClusterNO() < 0 || log->GetSectorsPerCluster() == 0) continue;
    if (second) {
      // This page completes the pair that the previous page began.
      if (auto c = m_builder.BuildFromFile(s - pg, log->GetFirstClusterNO(), log->GetSectorsPerCluster(), 0x80)) {
        m_builder.AdjustPartitionBuildFromFlag(*c, kEvidenceRestart2, 0);
      }
      if (auto c = m_builder.BuildFromFile(s, log->GetFirstClusterNO(), log->GetSectorsPerCluster(), 0x40)) {
        m_builder.AdjustPartitionBuildFromFlag(*c, 0, kEvidenceRestart1);
      }
      continue;
    }
    AddOrMergeAt(s, *log, kEvidenceRestart1);
    if (s != pg && s - pg >= 0) AddOrMergeAt(s - pg, *log, kEvidenceRestart2);
  }
  m_restarts.push_back(s);
}

void CLogFileAnalyzer::AnalyzeLogFileFileRecord(long long byte, const CNTFSFileRecord& record) {
  if (m_infos.Full()) return;
  auto info = std::make_unique<CLogFileInfo>();
  if (!info->InitFromBuffer(record, byte, m_builder.SectorSize(), true)) return;
  const long long pg = PageSectors();
  if (info->GetFirstClusterNO() >= 0) {
    for (std::size_t i = 0; i < m_restarts.size(); ++i) {
      const long long s = m_restarts[i];
      if (i + 1 < m_restarts.size() && m_restarts[i + 1] == s + pg) {
        AddOrMergeAt(s, *info, kEvidenceRestart1 | kEvidenceRestart2);
        ++i;
        continue;
      }
      AddOrMergeAt(s, *info, kEvidenceRestart1);
      if (s != pg && s - pg >= 0) AddOrMergeAt(s - pg, *info, kEvidenceRestart2);
    }
  }
  m_infos.Add(std::move(info));
}

bool CLogFileAnalyzer::AnalyzeRCRDPage(long long unit, const ByteView& page) {
  if (!CRCRDRecord::IsValidRCRDRecordFirstSector(page) || !page.Has(0, ntfslog::kPageBytes)) return false;
  if (!CRCRDRecord::IsValid(page.Sub(0, ntfslog::kPageBytes))) return false;
  for (long long k = 0; k < static_cast<long long>(ntfslog::kPageBytes) / kUnit; ++k) {
    m_pages.CombineSectorOfRange(unit + k);
  }
  return true;
}

void CLogFileAnalyzer::CalcLogFileMatch(CSearchedNTFSPartitionInfo& p) const {
  const CLogFileInfo* info = m_infos.Find(p, kLogFileRecord);
  p.m_llLogFileMatch = 0;
  if (info == nullptr) return;
  p.m_llLogFileSector = info->GetSectorAddress();
  p.m_llLogFileMatch =
      m_pages.GetMatchCount(info->GetDataRunList(), p.m_llClusterBaseSector, p.m_iSectorsPerCluster, p.m_iSectorSize);
}

// --- record groups ---------------------------------------------------------------

bool CMetaFileRecordGroupinMFTAnalyzer::AnalyzeNTFSMetaFileRecord(long long byte, const CNTFSFileRecord& record) {
  const bool open = m_llGroupByte >= 0;
  const long long r = m_iGroupRecordBytes;
  const long long d = open ? byte - m_llGroupByte : -1;
  // The later pieces of a record inside the group.
  if (open && !record.IsValid() && d > 0 && d % r != 0 && d <= 8 * r) return false;
  const int index = CMetaFileRecordTypeAnalyzer::GetMetaFileRecordIndex(record);
  if (!record.IsValid() || index < 0 || !open || d > 8 * r || d % r != 0 || index != d / r) EndGroup();
  if (!record.IsValid()) return false;
  if (CMetaFileRecordTypeAnalyzer::IsValidMFTFileRecord(record)) {
    m_llGroupByte = byte;
    m_iGroupRecordBytes = static_cast<int>(record.GetLength());
    if (m_mfts.size() >= kMaxNtfsEvidence) return false;
    auto mft = CMFTInfo::Build(record, byte, m_builder.SectorSize());
    if (!mft) {
      EndGroup();
      return false;
    }
    m_pMft = mft.get();
    m_mfts.push_back(std::move(mft));
    return true;
  }
  if (CMetaFileRecordTypeAnalyzer::IsValidMFTMirrFileRecord(record)) {
    if (m_mirrors.size() >= kMaxNtfsEvidence) return false;
    auto mirror = CMFTMirrInfo::Build(record, byte, m_builder.SectorSize());
    if (!mirror) {
      EndGroup();
      return false;
    }
    m_pMirror = mirror.get();
    m_mirrors.push_back(std::move(mirror));
    return true;
  }
  if (CMetaFileRecordTypeAnalyzer::IsValidBitmapFileRecord(record)) {
    CBitmapFileInfo bitmap;
    long long clusters = 0;
    if (bitmap.InitFromBuffer(record) && !__builtin_mul_overflow(bitmap.GetFileSize(), 8LL, &clusters)) {
      m_llBitmapClusters = clusters;
    }
  }
  return true;
}

void CMetaFileRecordGroupinMFTAnalyzer::Finish() { EndGroup(); }

bool CMetaFileRecordGroupinMFTAnalyzer::IsaMetaFileRecordNotNeedtoCount(const CNTFSFileRecord& record) const {
  if (CMetaFileRecordTypeAnalyzer::IsValidMFTFileRecord(record)) return m_mfts.size() >= kMaxNtfsEvidence;
  if (CMetaFileRecordTypeAnalyzer::IsValidMFTMirrFileRecord(record)) return m_mirrors.size() >= kMaxNtfsEvidence;
  return false;
}

void CMetaFileRecordGroupinMFTAnalyzer::EndGroup() {
  if (m_pMft != nullptr) {
    if (m_pMirror == nullptr) {
      AnalyzeSingle(*m_pMft);
    } else {
      AnalyzePair(*m_pMft, *m_pMirror);
      if (m_pairs.size() < kMaxNtfsEvidence) m_pairs.push_back({m_pMft, m_pMirror});
    }
  }
  m_pMft = nullptr;
  m_pMirror = nullptr;
  m_llGroupByte = -1;
  m_llBitmapClusters = -1;
}

void CMetaFileRecordGroupinMFTAnalyzer::AnalyzePair(const CMFTInfo& mft, const CMFTMirrInfo& mirror) {
  auto hypothesis =
      m_builder.BuildFromFile(mft.GetSectorAddress(), mirror.GetFirstClusterNO(), mft.GetSectorsPerCluster(), 0x10);
  if (!hypothesis) {
    AnalyzeSingle(mft);
    return;
  }
  const MftGeometry geometry = mft.Geometry(hypothesis->m_llClusterBaseSector, hypothesis->m_iSectorsPerCluster);
  const auto mftSector = geometry.ClusterSector(mft.GetFirstClusterNO());
  const bool confirmed = mftSector && std::any_of(m_pairs.begin(), m_pairs.end(), [&](const CMFTFilesPair& pair) {
                           return pair.mft->GetByteAddress() == *mftSector * m_builder.SectorSize();
                         });
  auto [it, end] = m_builder.Candidates().equal_range(CNTFSPartitionInfoBuilder::KeyOf(*hypothesis));
  if (confirmed) {
    for (; it != end; ++it) it->second->m_uFlags = (it->second->m_uFlags | kEvidenceMftConfirmed) & ~kEvidenceMft;
    return;
  }
  if (it == end) {
    AnalyzeSingle(mft);
    // This group may be the copy in $MFTMirr of a $MFT whose own record is
    // gone; the end of the sweep checks that against the records found.
    if (m_copies.size() < kMaxNtfsEvidence) m_copies.push_back({&mft, &mirror});
    return;
  }
  for (; it != end; ++it) {
    it->second->m_uFlags |= kEvidenceMftMirror;
    AdjustSize(*it->second);
  }
}

void CMetaFileRecordGroupinMFTAnalyzer::AnalyzeSingle(const CMFTInfo& mft) {
  auto c = m_builder.BuildFromFile(mft.GetSectorAddress(), mft.GetFirstClusterNO(), mft.GetSectorsPerCluster(),
                                   kEvidenceMft);
  if (!c) return;
  c->m_iRecordBytes = mft.GetRecordBytes();
  AdjustSize(*c);
  auto [it, end] = m_builder.Candidates().equal_range(CNTFSPartitionInfoBuilder::KeyOf(*c));
  if (it == end) {
    m_builder.Insert(std::move(c));
    return;
  }
  for (; it != end; ++it) {
    it->second->m_uFlags |= kEvidenceMft;
    it->second->m_iRecordBytes = mft.GetRecordBytes();
    AdjustSize(*it->second);
  }
}

void CMetaFileRecordGroupinMFTAnalyzer::AdjustSize(CSearchedNTFSPartitionInfo& p) const {
  if (p.m_llMftByte < 0 && m_llGroupByte >= 0) {
    p.m_llMftByte = m_llGroupByte;
    p.m_llMftSector = m_llGroupByte / m_builder.SectorSize();
  }
  const long long spc = p.m_iSectorsPerCluster;
  if (m_llBitmapClusters <= 0 || spc <= 0) return;
  if ((p.m_uFlags & kEvidenceBoot) == 0) {
    p.m_llTotalClusters = std::min(p.m_llTotalClusters, m_llBitmapClusters);
    p.SetTotalSectors(p.m_llTotalClusters * spc);
  }
  long long sectors = 0;
  if (!__builtin_mul_overflow(m_llBitmapClusters, spc, &sectors)) p.m_llBitmapSectors = sectors;
}
