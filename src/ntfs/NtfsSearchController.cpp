#include "ntfs/NtfsSearchController.h"

#include <algorithm>
#include <cstring>

#include "core/cache/StorageDeviceWithCache.h"
#include "core/device/StorageDevice.h"
#include "ntfs/FileRecordLayout.h"
#include "ntfs/IndexRecord.h"
#include "ntfs/LogPageLayout.h"
#include "ntfs/MetaFileRecord.h"
#include "ntfs/NtfsBootSector.h"
#include "ntfs/NtfsDirectoryTreeBuilder.h"

namespace {

constexpr long long kUnit = 512;
constexpr std::size_t kIndexRecordBytes = 4096;
constexpr unsigned kAllFlags = 0xFF;

// A view of the block that reaches a lookahead past its sector shows every
// analysis all it looks at: a FILE or INDX record or a $LogFile page.
static_assert(CNTFSSearchController::kLookaheadBytes >= static_cast<long long>(ntfsrec::kMaxRecordBytes) &&
              CNTFSSearchController::kLookaheadBytes >= static_cast<long long>(kIndexRecordBytes) &&
              CNTFSSearchController::kLookaheadBytes >= static_cast<long long>(ntfslog::kPageBytes));

}  // namespace

ICompleteFileSystemSearchController* CreateNTFSSearcher() { return new CNTFSSearchController(); }

int CNTFSSearchController::PreparetoSearch() {
  if (m_pDevice == nullptr || m_iBlockSectors < 1) return 0;
  m_iSectorSize = m_pDevice->GetSectorSize() >= 512 ? m_pDevice->GetSectorSize() : 512;
  m_kept.clear();
  m_mfts.clear();
  m_positions.clear();
  m_indexRecords.clear();
  m_folders.clear();
  m_parts = std::make_unique<CNTFSPartitionInfoBuilder>(m_pDevice->GetTotalSectors(), m_iSectorSize);
  m_groups = std::make_unique<CMetaFileRecordGroupinMFTAnalyzer>(*m_parts, m_mfts);
  m_attrDef = std::make_unique<CAttrDefFileAnalyzer>();
  m_upCase = std::make_unique<CUpCaseFileAnalyzer>();
  m_logFile = std::make_unique<CLogFileAnalyzer>(*m_parts);
  if (m_pBuilder != nullptr) m_pBuilder->AddSearcherInfo(kSearcherNtfs, 5);
  return 1;
}

int CNTFSSearchController::AnalyzeBlock(long long first, long long count) {
  if (m_pDevice == nullptr || !m_parts || count <= 0 || first < 0) return 1;
  const long long total = m_pDevice->GetTotalSectors();
  const long long lookahead = (kLookaheadBytes + m_iSectorSize - 1) / m_iSectorSize;
  const long long extra = std::max(0LL, std::min(lookahead, total - first - count));
  const auto sectorBytes = static_cast<std::size_t>(m_iSectorSize);
  LoadBlock(first, count, extra, lookahead);
  for (long long i = 0; i < count; ++i) {
    const long long s = first + i;
    const ByteView p = BlockFrom(static_cast<std::size_t>(i) * sectorBytes);
    if (CNTFSDBR::IsFullValidDBR(p)) {
      AnalyzeBootSector(s, p);
    } else if (CLogFileAnalyzer::IsValidRSTRRecord(p)) {
      m_logFile->AnalyzeRSTRRecord(s);
    } else {
      AnalyzeIndexRecord(s, p);
    }
    for (std::size_t off = 0; off < sectorBytes; off += ntfsrec::kMinRecordBytes) {
      AnalyzeFileRecord(s * m_iSectorSize + static_cast<long long>(off), p.Sub(off, p.Size() - off));
    }
    for (std::size_t u = 0; u < sectorBytes; u += kUnit) {
      const long long unit = (s * m_iSectorSize + static_cast<long long>(u)) / kUnit;
      const ByteView piece = p.Sub(u, p.Size() - u);
      m_attrDef->AnalyzeSectorBuffer(unit, piece);
      m_upCase->AnalyzeSectorBuffer(unit, piece);
    }
  }
  AnalyzeContents(first, count);
  m_inPlace = nullptr;
  return 1;
}

void CNTFSSearchController::LoadBlock(long long first, long long count, long long extra, long long lookahead) {
  const auto sectorBytes = static_cast<std::size_t>(m_iSectorSize);
  const std::size_t blockBytes = static_cast<std::size_t>(count) * sectorBytes;
  const std::size_t extraBytes = static_cast<std::size_t>(extra) * sectorBytes;
  // The block is looked at where the read-ahead cache holds it; only its
  // last lookahead's worth and the sectors after it are put together here.
  m_inPlace = CStorageDeviceWithCache::View(m_pDevice, first, count);
  const std::size_t seam = std::min(blockBytes, static_cast<std::size_t>(lookahead) * sectorBytes);
  m_seamAt = m_inPlace != nullptr ? blockBytes - seam : 0;
  m_inPlaceBytes = blockBytes;
  m_blockBytes = blockBytes + extraBytes;
  m_block.assign(m_blockBytes - m_seamAt, 0);
  if (m_inPlace != nullptr) {
    std::memcpy(m_block.data(), m_inPlace + m_seamAt, seam);
  } else if (m_pDevice->ReadSector(m_block.data(), first, count) == 0) {
    // A failed read leaves zeros, which hold no evidence.
    std::fill(m_block.begin(), m_block.end(), 0);
  }
  if (extra > 0 && m_pDevice->ReadSector(m_block.data() + (blockBytes - m_seamAt), first + count, extra) == 0) {
    std::fill(m_block.begin() + static_cast<long>(blockBytes - m_seamAt), m_block.end(), 0);
  }
}

ByteView CNTFSSearchController::BlockFrom(std::size_t at) const {
  if (at >= m_blockBytes) return ByteView();
  if (at >= m_seamAt) return ByteView(m_block.data() + (at - m_seamAt), m_blockBytes - at);
  // More than a lookahead's worth of the block follows: every analysis
  // looks at far less past the sector it starts at.
  return ByteView(m_inPlace + at, m_inPlaceBytes - at);
}

// Record pages of $LogFile: a page found moves the walk past its end.
void CNTFSSearchController::AnalyzeContents(long long first, long long count) {
  const long long units = count * m_iSectorSize / kUnit;
  const long long firstUnit = first * m_iSectorSize / kUnit;
  for (long long u = 0; u < units;) {
    if (m_logFile->AnalyzeRCRDPage(firstUnit + u, BlockFrom(static_cast<std::size_t>(u * kUnit)))) {
      u += static_cast<long long>(ntfslog::kPageBytes) / kUnit;
    } else {
      ++u;
    }
  }
}

std::unique_ptr<CSearchedNTFSPartitionInfo> CNTFSSearchController::FromBootSector(long long start, long long t, int spc,
                                                                                  long long serial, int recordBytes,
                                                                                  unsigned flags) const {
  if (start < 0 || spc <= 0) return nullptr;
  const long long size = std::min(t, m_parts->DeviceTotalSectors() - start);
  if (size < 8) return nullptr;
  auto p = std::make_unique<CSearchedNTFSPartitionInfo>(m_iSectorSize);
  p->m_uFlags = flags;
  p->m_iSectorsPerCluster = spc;
  p->m_llSerialNumber = serial;
  p->m_llClusterBaseSector = start;
  p->m_llStartSector = start;
  p->m_llTotalClusters = size / spc;
  p->SetTotalSectors(p->m_llTotalClusters * spc);
  if (recordBytes != 0) p->m_iRecordBytes = recordBytes;
  return p;
}

void CNTFSSearchController::AnalyzeBootSector(long long s, const ByteView& bytes) {
  CNTFSDBR boot;
  if (!boot.InitFromBuffer(bytes) || boot.GetBytesPerSector() == 0) return;
  const long long clusterBytes = static_cast<long long>(boot.GetClusterSectors()) * boot.GetBytesPerSector();
  if (clusterBytes < m_iSectorSize || clusterBytes % m_iSectorSize != 0 || clusterBytes > kMaxClusterBytes) return;
  const int spc = static_cast<int>(clusterBytes / m_iSectorSize);
  if (boot.GetTotalSectors() <= 0) return;
  // Total sectors in device sectors.
  const auto t = static_cast<long long>(static_cast<unsigned long long>(boot.GetTotalSectors()) *
                                        boot.GetBytesPerSector() / static_cast<unsigned>(m_iSectorSize));
  const auto serial = static_cast<long long>(boot.GetSerialNumber());
  const int recordBytes = boot.GetValidFileRecordSize();
  // The copy at the end of a volume that starts t sectors back.
  if (auto copy = FromBootSector(s - t, t, spc, serial, recordBytes, kEvidenceBootCopy)) {
    auto [it, end] = m_parts->Candidates().equal_range(CNTFSPartitionInfoBuilder::KeyOf(*copy));
    bool confirmed = false;
    for (auto e = it; e != end; ++e) {
      CSearchedNTFSPartitionInfo& c = *e->second;
      confirmed = confirmed || (c.GetTotalSectors() == copy->GetTotalSectors() && c.m_llSerialNumber == serial) ||
                  (c.m_uFlags & kEvidenceBoot) != 0;
      c.m_uFlags |= kEvidenceBootCopy;
    }
    if (confirmed) {
      // A volume one length further back that only this copy suggested.
      if (auto spurious = FromBootSector(s - 2 * t, t, spc, serial, recordBytes, kEvidenceBootCopy)) {
        m_parts->AdjustPartitionBuildFromFlag(*spurious, 0, kEvidenceBootCopy);
      }
      return;
    }
    for (auto e = it; e != end; ++e) {
      if (e->second->GetTotalSectors() != 0) continue;
      e->second->SetTotalSectors(copy->GetTotalSectors());
      e->second->m_llTotalClusters = copy->m_llTotalClusters;
    }
    m_parts->Insert(std::move(copy));
  }
  m_parts->Insert(FromBootSector(s, t, spc, serial, recordBytes, kEvidenceBoot));
}

void CNTFSSearchController::AnalyzeIndexRecord(long long s, const ByteView& p) {
  if (!CStandardIndexHeader::IsValidMagicNumber(p)) return;
  const ByteView rec = p.Sub(0, std::min(p.Size(), kIndexRecordBytes));
  if (!CIndexRecord::IsValid(rec)) return;
  const long long owner = CIndexRecord::GetParentFileReference(rec);
  if (owner < 0 || owner == 5) return;
  const CIndexRecordInfo info{s, CIndexRecord::GetVCN(rec), CStandardIndexHeader::GetLogFileSequenceNumber(rec), owner};
  auto [it, end] = m_folders.equal_range(owner);
  for (; it != end; ++it) AddIndexEvidence(info, *it->second);
  if (m_indexRecords.size() < kMaxNtfsEvidence) m_indexRecords.emplace(owner, info);
}

// An INDX record where its folder's index allocation puts it places the
// partition.
void CNTFSSearchController::AddIndexEvidence(const CIndexRecordInfo& index, const CFolderIndexAllocationInfo& folder) {
  const long long spc = folder.GetSectorsPerCluster();
  const long long clusterBytes = spc * m_iSectorSize;
  if (spc <= 0 || index.vcn < 0) return;
  // Index VCNs count clusters, or 512-byte units when a cluster is larger
  // than an index record.
  long long byte = 0;
  const long long unitBytes = clusterBytes <= static_cast<long long>(kIndexRecordBytes) ? clusterBytes : kUnit;
  if (__builtin_mul_overflow(index.vcn, unitBytes, &byte)) return;
  const long long lcn = folder.GetLCN(byte / clusterBytes);
  if (lcn < 0) return;
  const long long clusterStart = index.sector - (byte % clusterBytes) / m_iSectorSize;
  auto c = m_parts->BuildFromFile(clusterStart, lcn, static_cast<int>(spc), kEvidenceIndex);
  if (!c) return;
  auto [it, end] = m_parts->Candidates().equal_range(CNTFSPartitionInfoBuilder::KeyOf(*c));
  if (it == end) {
    c->m_llValue56 = 1;
    m_parts->Insert(std::move(c));
    return;
  }
  for (; it != end; ++it) {
    it->second->m_uFlags |= kEvidenceIndex;
    ++it->second->m_llValue56;
  }
}

void CNTFSSearchController::AnalyzeFileRecord(long long byte, const ByteView& bytes) {
  CNTFSFileRecord record;
  if (bytes.U32Le(0) == ntfsrec::kFileSignature && CNTFSFileRecordHeader::IsValid(bytes)) {
    const std::size_t recordBytes = CNTFSFileRecord::RecordBytes(bytes);
    if (recordBytes >= ntfsrec::kMinRecordBytes) record = CNTFSFileRecord(bytes.Sub(0, recordBytes));
  }
  m_groups->AnalyzeNTFSMetaFileRecord(byte, record);
  if (!record.IsValid()) return;
  if (CFolderFileRecordAnalyzer::IsValidFolderFileRecordHavingIndexAllocation(record)) {
    AnalyzeFolder(byte, record);
  } else if (CMetaFileRecordTypeAnalyzer::IsValidLogFileRecord(record)) {
    m_logFile->AnalyzeLogFileFileRecord(byte, record);
  } else if (CMetaFileRecordTypeAnalyzer::IsValidAttrDefFileRecord(record)) {
    m_attrDef->AnalyzeAttrDefFileRecord(byte, record, m_iSectorSize);
  } else if (CMetaFileRecordTypeAnalyzer::IsValidUpCaseFileRecord(record)) {
    m_upCase->AnalyzeUpCaseFileRecord(byte, record, m_iSectorSize);
  } else {
    AnalyzeNormalFileRecord(byte, record);
  }
}

void CNTFSSearchController::AnalyzeFolder(long long byte, const CNTFSFileRecord& record) {
  auto folder = std::make_unique<CFolderIndexAllocationInfo>();
  if (m_folders.size() >= kMaxNtfsEvidence || !folder->InitFromBuffer(record, byte, m_iSectorSize)) {
    // Still a folder of the tree, whatever its index says.
    AnalyzeNormalFileRecord(byte, record);
    return;
  }
  const long long number = folder->GetMFTFileRecordNumber();
  auto [it, end] = m_indexRecords.equal_range(number);
  for (; it != end; ++it) AddIndexEvidence(it->second, *folder);
  m_folders.emplace(number, std::move(folder));
  if (m_positions.size() < kMaxPositionRuns) m_positions.emplace_back(byte, static_cast<int>(record.GetLength()));
}

void CNTFSSearchController::AnalyzeNormalFileRecord(long long byte, const CNTFSFileRecord& record) {
  if (record.IsExtendFileRecord() || m_groups->IsaMetaFileRecordNotNeedtoCount(record) ||
      m_logFile->IsaMetaFileRecordNotNeedtoCount()) {
    return;
  }
  // Records below 24 are the volume's own files and reserved ones.
  constexpr std::uint32_t kFirstUserRecord = 24;
  if (!record.IsFolder() &&
      (!record.HasXPNumberOfthisMFTRecord() || record.GetXPNumberOfthisMFTRecord() >= kFirstUserRecord)) {
    ++m_foundFiles;
  }
  const int recordBytes = static_cast<int>(record.GetLength());
  if (!m_positions.empty() && m_positions.back().Merge(byte, recordBytes)) return;
  if (m_positions.size() < kMaxPositionRuns) m_positions.emplace_back(byte, recordBytes);
}

// A $MFT whose own record is gone but whose copy in $MFTMirr was found: the
// copy's runs are taken when FILE records lie at the places they give.
bool CNTFSSearchController::AdoptMirrorCopy(const CMFTFilesPair& copy) {
  const CMFTInfo& mft = *copy.mft;
  const int spc = mft.GetSectorsPerCluster();
  auto c = m_parts->BuildFromFile(mft.GetSectorAddress(), copy.mirror->GetFirstClusterNO(), spc, kEvidenceMftMirror);
  if (!c) return false;
  const long long base = c->m_llClusterBaseSector;
  if (std::any_of(m_mfts.begin(), m_mfts.end(), [&](const auto& m) { return m->LiesAtItsData(base, spc); })) {
    return false;
  }
  const MftGeometry geometry = mft.Geometry(base, spc);
  int placed = 0;
  std::vector<std::uint8_t> raw;
  for (int n = 1; n <= kProbedRecords && placed < kMinPlacedRecords; ++n) {
    const auto place = geometry.RecordPlace(n);
    if (!place || !ReadBytesAt(*m_pDevice, *place, static_cast<std::size_t>(geometry.recordBytes), raw)) continue;
    const CNTFSFileRecord record(ByteView(raw.data(), raw.size()));
    if (record.IsValid() && (!record.HasXPNumberOfthisMFTRecord() ||
                             record.GetXPNumberOfthisMFTRecord() == static_cast<std::uint32_t>(n))) {
      ++placed;
    }
  }
  const auto dataSector = geometry.ClusterSector(mft.GetFirstClusterNO());
  if (placed < kMinPlacedRecords || !dataSector || m_mfts.size() >= kMaxNtfsEvidence) return false;
  const long long mftByte = *dataSector * m_iSectorSize;
  // The volume's size from its $Bitmap, record 6.
  const auto bitmapPlace = geometry.RecordPlace(6);
  CBitmapFileInfo bitmap;
  if (bitmapPlace && ReadBytesAt(*m_pDevice, *bitmapPlace, static_cast<std::size_t>(geometry.recordBytes), raw) &&
      bitmap.InitFromBuffer(CNTFSFileRecord(ByteView(raw.data(), raw.size()))) &&
      bitmap.GetFileSize() < c->m_llTotalClusters / 8) {
    c->m_llTotalClusters = bitmap.GetFileSize() * 8;
    c->SetTotalSectors(c->m_llTotalClusters * spc);
    c->m_llBitmapSectors = c->GetTotalSectors();
  }
  m_mfts.push_back(CMFTInfo::FromCopy(mft, mftByte));
  c->m_llMftByte = mftByte;
  c->m_llMftSector = *dataSector;
  c->m_iRecordBytes = mft.GetRecordBytes();
  auto [it, end] = m_parts->Candidates().equal_range(CNTFSPartitionInfoBuilder::KeyOf(*c));
  if (it == end) {
    m_parts->Insert(std::move(c));
    return true;
  }
  for (; it != end; ++it) {
    CSearchedNTFSPartitionInfo& e = *it->second;
    e.m_uFlags |= kEvidenceMftMirror;
    e.m_llMftByte = mftByte;
    e.m_llMftSector = *dataSector;
    e.m_iRecordBytes = mft.GetRecordBytes();
    if ((e.m_uFlags & kEvidenceBoot) == 0 && c->GetTotalSectors() < e.GetTotalSectors()) {
      e.SetTotalSectors(c->GetTotalSectors());
      e.m_llTotalClusters = c->m_llTotalClusters;
    }
  }
  return true;
}

void CNTFSSearchController::AdoptMirrorCopies() {
  const auto& copies = m_groups->UnconfirmedMirrorCopies();
  for (std::size_t i = 0; i < copies.size() && i < kMaxCopiesChecked; ++i) AdoptMirrorCopy(copies[i]);
}

// Candidates of one partition found twice become one, with all their evidence.
void CNTFSSearchController::MergeEqualCandidates() {
  auto& set = m_parts->Candidates();
  for (auto it = set.begin(); it != set.end();) {
    auto next = std::next(it);
    if (next == set.end() || next->first != it->first) {
      it = next;
      continue;
    }
    CSearchedNTFSPartitionInfo& keep = *it->second;
    CSearchedNTFSPartitionInfo& other = *next->second;
    if ((other.m_uFlags & kEvidenceBoot) != 0 && (keep.m_uFlags & kEvidenceBoot) == 0) {
      keep.SetTotalSectors(other.GetTotalSectors());
      keep.m_llTotalClusters = other.m_llTotalClusters;
      keep.m_llSerialNumber = other.m_llSerialNumber;
    }
    if (keep.m_llMftByte < 0) {
      keep.m_llMftByte = other.m_llMftByte;
      keep.m_llMftSector = other.m_llMftSector;
      keep.m_iRecordBytes = other.m_iRecordBytes;
    }
    if (keep.m_llBitmapSectors < 0) keep.m_llBitmapSectors = other.m_llBitmapSectors;
    keep.m_llValue56 = std::max(keep.m_llValue56, other.m_llValue56);
    keep.m_uFlags = (keep.m_uFlags | other.m_uFlags) & kAllFlags;
    set.erase(next);
  }
}

void CNTFSSearchController::ScoreAndKeep() {
  auto& set = m_parts->Candidates();
  int visited = 0;
  for (auto it = set.begin(); it != set.end(); ++visited) {
    CSearchedNTFSPartitionInfo& p = *it->second;
    m_attrDef->CalcAttrDefMatch(p);
    m_upCase->CalcUpcaseMatch(p);
    m_logFile->CalcLogFileMatch(p);
    p.m_iHasMft = p.m_llMftByte >= 0 ? 1 : 0;
    p.m_iScore = p.ComputeScore();
    p.m_iValue80 = p.m_iScore;
    const bool indexed = p.m_llValue48 != 0 || p.m_llValue56 != 0;
    // The first two by position, those placed by index records, and (unlike
    // a rule by position alone) any candidate whose own evidence is strong.
    if (visited < 2 || (p.m_iScore > 10 && indexed) || p.m_iScore > 50) {
      p.m_llStartSector = p.m_llClusterBaseSector;
      ++it;
    } else {
      it = set.erase(it);
    }
  }
  if (set.size() <= 2) return;
  for (auto it = set.begin(); it != set.end();) {
    it = it->second->m_iScore <= 50 && it->second->m_iHasMft == 0 ? set.erase(it) : std::next(it);
  }
}

void CNTFSSearchController::EndSearch(int build) {
  if (build == 0 || m_pDevice == nullptr || !m_parts) return;
  m_groups->Finish();
  AdoptMirrorCopies();
  MergeEqualCandidates();
  ScoreAndKeep();
  for (auto& [key, p] : m_parts->Candidates()) {
    if (p->GetTotalSectors() > 0) m_kept.push_back(std::move(p));
  }
  ReleaseEvidence();
  const int count = static_cast<int>(m_kept.size());
  for (int k = 0; k < count; ++k) {
    CSearchedNTFSPartitionInfo& p = *m_kept[static_cast<std::size_t>(k)];
    p.m_u16PartitionIndex = static_cast<std::uint16_t>(k);
    p.m_dScore = count - k;
  }
  if (m_pBuilder != nullptr) {
    CNTFSDirectoryTreeBuilder trees(*m_pDevice, *m_pBuilder, m_mfts, m_positions);
    for (int k = 0; k < count; ++k) trees.BuildDirectoryTree(*m_kept[static_cast<std::size_t>(k)], k);
    m_pBuilder->SetPartitonDevice(nullptr, m_pDevice);
    m_pBuilder->FlashBuild(kSearcherNtfs);
  }
  m_mfts.clear();
  m_positions.clear();
  m_positions.shrink_to_fit();
}

void CNTFSSearchController::ReleaseEvidence() {
  m_block.clear();
  m_block.shrink_to_fit();
  m_groups.reset();
  m_attrDef.reset();
  m_upCase.reset();
  m_logFile.reset();
  m_indexRecords.clear();
  m_folders.clear();
  m_parts.reset();
}

int CNTFSSearchController::GetSearchedPartitionInfo(CSearchedPartitionInfo** out, int capacity) {
  const int count = static_cast<int>(m_kept.size());
  if (out == nullptr || capacity < count) return count;
  for (int k = 0; k < count; ++k) out[k] = new CSearchedPartitionInfo(*m_kept[static_cast<std::size_t>(k)]);
  return count;
}
