#include "ntfs/NtfsSearchController.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "core/cache/StorageDeviceWithCache.h"
#include "core/device/StorageDevice.h"
#include "ntfs/FileRecordLayout.h"
#include "ntfs/FindFileFromLogFile.h"
#include "ntfs/IndexRecord.h"
#include "ntfs/LogPage.h"
#include "ntfs/LogPageLayout.h"
#include "ntfs/MetaFileRecord.h"
#include "ntfs/MftSweep.h"
#include "ntfs/NtfsBootSector.h"
#include "ntfs/NtfsReferenceTables.h"

namespace {

constexpr std::size_t kUnit = 512;
constexpr char16_t kRestartClient[] = u"NTFS";

// Cluster bytes of a non-resident $DATA: allocated size over its clusters.
long long ClusterBytesOf(const ByteView& data) {
  CNTFSDataRunList runs;
  if (!runs.InitFromBuffer(CNTFSFileRecordAttribute::DataRunsBuffer(data))) return 0;
  const long long clusters = runs.GetTotalClusters();
  const long long allocated = CNTFSFileRecordAttribute::GetAllocSizeofAttribute(data);
  if (clusters <= 0 || allocated <= 0 || allocated % clusters != 0) return 0;
  const long long bytes = allocated / clusters;
  if (bytes < 512 || bytes > kMaxClusterBytes || (bytes & (bytes - 1)) != 0) return 0;
  return bytes;
}

bool DataRunsOf(const CNTFSFileRecord& record, CNTFSDataRunList& runs) {
  const ByteView d = record.FindAttibute(ntfsrec::kData, 0);
  if (d.Size() == 0 || CNTFSFileRecordAttribute::IsResident(d) || CNTFSFileRecordAttribute::IsNamed(d)) return false;
  return runs.AddDataRunsfromBuffer(CNTFSFileRecordAttribute::DataRunsBuffer(d), CNTFSFileRecordAttribute::GetStartVCN(d));
}

bool IsRestartPage(const ByteView& page) {
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

// The runs of $LogFile, $AttrDef and $UpCase and the volume size that
// $Bitmap covers, from the records numbered 2, 4, 10 and 6.
void TakeSystemFiles(CSearchedNTFSPartitionInfo& c, const std::function<CNTFSFileRecord(int)>& recordAt, int spc) {
  const CNTFSFileRecord log = recordAt(2);
  if (c.m_logRuns.IsEmpty() && CMetaFileRecordTypeAnalyzer::IsValidLogFileRecord(log)) DataRunsOf(log, c.m_logRuns);
  const CNTFSFileRecord attrDef = recordAt(4);
  if (CMetaFileRecordTypeAnalyzer::IsValidAttrDefFileRecord(attrDef)) DataRunsOf(attrDef, c.m_attrDefRuns);
  const CNTFSFileRecord upCase = recordAt(10);
  if (CMetaFileRecordTypeAnalyzer::IsValidUpCaseFileRecord(upCase)) DataRunsOf(upCase, c.m_upCaseRuns);
  const CNTFSFileRecord bitmap = recordAt(6);
  if (CMetaFileRecordTypeAnalyzer::IsValidBitmapFileRecord(bitmap)) {
    const ByteView d = bitmap.FindAttibute(ntfsrec::kData, 0);
    const long long size = CNTFSFileRecordAttribute::IsResident(d) ? CNTFSFileRecordAttribute::GetLengthOfAttribute(d)
                                                                   : CNTFSFileRecordAttribute::GetRealSizeOfAttribute(d);
    long long sectors = 0;
    if (size > 0 && !__builtin_mul_overflow(size, 8LL * spc, &sectors)) c.m_llBitmapSectors = sectors;
  }
}

}  // namespace

ICompleteFileSystemSearchController* CreateNTFSSearcher() { return new CNTFSSearchController(); }

int CNTFSSearchController::PreparetoSearch() {
  if (m_pDevice == nullptr || m_iBlockSectors < 1) return 0;
  m_iSectorSize = m_pDevice->GetSectorSize() > 0 ? m_pDevice->GetSectorSize() : 512;
  m_candidates.clear();
  m_kept.clear();
  m_folders.clear();
  m_indexRecords.clear();
  m_records.clear();
  m_mirrorCopies.clear();
  m_restartPages.clear();
  m_logUnits.clear();
  m_attrDefUnits.clear();
  m_upCaseUnits.clear();
  if (m_pBuilder != nullptr) m_pBuilder->AddSearcherInfo(kSearcherNtfs, 5);
  return 1;
}

CSearchedNTFSPartitionInfo& CNTFSSearchController::Candidate(long long base, int spc) {
  auto& slot = m_candidates[{base, spc}];
  if (!slot) {
    slot = std::make_unique<CSearchedNTFSPartitionInfo>(m_iSectorSize);
    slot->m_llClusterBaseSector = base;
    slot->m_llStartSector = base;
    slot->m_iSectorsPerCluster = spc;
  }
  return *slot;
}

int CNTFSSearchController::AnalyzeBlock(long long first, long long count) {
  if (m_pDevice == nullptr || count <= 0 || first < 0) return 1;
  const long long total = m_pDevice->GetTotalSectors();
  const long long lookahead = (kLookaheadBytes + m_iSectorSize - 1) / m_iSectorSize;
  const long long extra = std::max(0LL, std::min(lookahead, total - first - count));
  const auto sectorBytes = static_cast<std::size_t>(m_iSectorSize);
  const std::size_t blockBytes = static_cast<std::size_t>(count) * sectorBytes;
  const std::size_t bytes = blockBytes + static_cast<std::size_t>(extra) * sectorBytes;

  // In the read-ahead cache the block is looked at in place, except its last
  // sectors: nothing in a sector reaches more than kLookaheadBytes past its
  // start, so only those need the lookahead after them, in a copy.
  const std::uint8_t* view = CStorageDeviceWithCache::View(m_pDevice, first, count);
  const std::size_t cut =
      view != nullptr ? blockBytes - std::min(blockBytes, static_cast<std::size_t>(lookahead) * sectorBytes) : 0;
  m_block.assign(bytes - cut, 0);
  if (view != nullptr) {
    std::memcpy(m_block.data(), view + cut, blockBytes - cut);
  } else if (m_pDevice->ReadSector(m_block.data(), first, count) == 0) {
    // A failed read leaves zeros, which hold no evidence.
    std::fill(m_block.begin(), m_block.end(), 0);
  }
  if (extra > 0 &&
      m_pDevice->ReadSector(m_block.data() + (blockBytes - cut), first + count, extra) == 0) {
    std::fill(m_block.begin() + static_cast<long>(blockBytes - cut), m_block.end(), 0);
  }
  for (long long i = 0; i < count; ++i) {
    const std::size_t at = static_cast<std::size_t>(i) * sectorBytes;
    const ByteView p = at < cut ? ByteView(view + at, blockBytes - at) : ByteView(m_block.data() + (at - cut), bytes - at);
    AnalyzeSector(first + i, p);
  }
  return 1;
}

// One sector with the bytes after it.
void CNTFSSearchController::AnalyzeSector(long long s, const ByteView& p) {
  const auto sectorBytes = static_cast<std::size_t>(m_iSectorSize);
  if (CNTFSDBR::IsFullValidDBR(p)) AnalyzeBootSector(s, p);
  for (std::size_t off = 0; off < sectorBytes; off += ntfsrec::kMinRecordBytes) {
    const ByteView r = p.Sub(off, p.Size() - off);
    if (r.U32Le(0) == ntfsrec::kFileSignature) AnalyzeFileRecord(s, static_cast<unsigned>(off), r);
    if (sectorBytes < ntfsrec::kMinRecordBytes) break;
  }
  if (CStandardIndexHeader::IsValidMagicNumber(p) && m_indexRecords.size() < kMaxEvidence) {
    const ByteView rec = p.Sub(0, std::min<std::size_t>(p.Size(), 4096));
    if (CIndexRecord::IsValid(rec)) {
      m_indexRecords.push_back({s, CIndexRecord::GetVCN(rec), CIndexRecord::GetParentFileReference(rec)});
    }
  }
  if (IsRestartPage(p) && m_restartPages.size() < kMaxEvidence) m_restartPages.push_back(s);
  for (std::size_t u = 0; u < sectorBytes; u += kUnit) {
    AnalyzeContents((s * m_iSectorSize + static_cast<long long>(u)) / static_cast<long long>(kUnit), p.Sub(u, p.Size() - u));
  }
}

void CNTFSSearchController::AnalyzeContents(long long unit, const ByteView& p) {
  if (!p.Has(0, kUnit)) return;
  if (CRCRDRecord::IsValidMagicNumber(p) && p.Has(0, ntfslog::kPageBytes) &&
      CRCRDRecord::IsValid(p.Sub(0, ntfslog::kPageBytes)) && m_logUnits.size() < kMaxEvidence) {
    for (long long k = 0; k < 8; ++k) m_logUnits.insert(unit + k);
  }
  const std::uint8_t* attrDef = ntfsref::AttrDefContents();
  for (std::size_t k = 0; k < ntfsref::kAttrDefBytes / kUnit; ++k) {
    if (p.Equals(0, attrDef + k * kUnit, kUnit)) {
      if (m_attrDefUnits.size() < kMaxEvidence) m_attrDefUnits.insert(unit);
      break;
    }
  }
  const std::size_t k = p.U8(1);
  if (p.Equals(0, ntfsref::UpCaseContents().data() + k * kUnit, kUnit) && m_upCaseUnits.size() < kMaxEvidence) {
    m_upCaseUnits.insert(unit);
  }
}

void CNTFSSearchController::AnalyzeBootSector(long long s, const ByteView& bytes) {
  CNTFSDBR boot;
  if (!boot.InitFromBuffer(bytes)) return;
  const long long clusterBytes = static_cast<long long>(boot.GetClusterSectors()) * boot.GetBytesPerSector();
  if (clusterBytes < m_iSectorSize || clusterBytes % m_iSectorSize != 0 || clusterBytes > kMaxClusterBytes) return;
  const int spc = static_cast<int>(clusterBytes / m_iSectorSize);
  long long t = boot.GetTotalSectors();
  if (t <= 0 || boot.GetBytesPerSector() == 0) return;
  // Total sectors in device sectors.
  t = static_cast<long long>(static_cast<unsigned long long>(t) * boot.GetBytesPerSector() / static_cast<unsigned>(m_iSectorSize));
  // A copy at the end of a volume already seen: not a volume of its own.
  if (s - t >= 0) {
    auto it = m_candidates.find({s - t, spc});
    if (it != m_candidates.end() && (it->second->m_uFlags & kEvidenceBoot) != 0 &&
        it->second->m_llSerialNumber == static_cast<long long>(boot.GetSerialNumber())) {
      it->second->AddPartitionBuildFromFlag(kEvidenceBootCopy);
      return;
    }
  }
  const auto note = [&](long long start, unsigned flag) {
    if (start < 0 || m_candidates.size() >= kMaxEvidence) return;
    CSearchedNTFSPartitionInfo& c = Candidate(start, spc);
    c.AddPartitionBuildFromFlag(flag);
    c.m_llSerialNumber = static_cast<long long>(boot.GetSerialNumber());
    c.m_llBootTotalSectors = t;
    if (boot.GetValidFileRecordSize() != 0) c.m_iRecordBytes = boot.GetValidFileRecordSize();
  };
  note(s, kEvidenceBoot);
  note(s - t, kEvidenceBootCopy);
}

void CNTFSSearchController::AnalyzeFileRecord(long long s, unsigned offset, const ByteView& bytes) {
  if (!CNTFSFileRecordHeader::IsValid(bytes)) return;
  const auto recordBytes = static_cast<int>(CNTFSFileRecord::RecordBytes(bytes));
  if (recordBytes < static_cast<int>(ntfsrec::kMinRecordBytes)) return;
  const CNTFSFileRecord record(bytes.Sub(0, static_cast<std::size_t>(recordBytes)));
  if (!record.IsValid()) return;
  if (CMetaFileRecordTypeAnalyzer::IsValidMFTFileRecord(record)) {
    AnalyzeMftGroup(s, record, bytes.Sub(static_cast<std::size_t>(recordBytes), bytes.Size() - recordBytes), recordBytes);
    return;
  }
  if (CMetaFileRecordTypeAnalyzer::IsValidMetaFileRecord(record) || record.IsExtendFileRecord()) return;
  if (CFolderFileRecordAnalyzer::IsValidFolderFileRecordHavingIndexAllocation(record) &&
      record.HasXPNumberOfthisMFTRecord() && m_folders.size() < kMaxEvidence) {
    Folder f{record.GetXPNumberOfthisMFTRecord(), {}};
    const ByteView a = record.FindAttibute(ntfsrec::kIndexAllocation, 0);
    if (f.runs.InitFromBuffer(CNTFSFileRecordAttribute::DataRunsBuffer(a))) m_folders.push_back(std::move(f));
  }
  if (m_records.size() < kMaxEvidence * 20) {
    m_records.push_back({s, offset, record.HasXPNumberOfthisMFTRecord() ? record.GetXPNumberOfthisMFTRecord() : -1});
  }
}

void CNTFSSearchController::AnalyzeMftGroup(long long s, const CNTFSFileRecord& mft, const ByteView& following,
                                            int recordBytes) {
  CNTFSDataRunList runs;
  if (!DataRunsOf(mft, runs)) return;
  const long long clusterBytes = ClusterBytesOf(mft.FindAttibute(ntfsrec::kData, 0));
  if (clusterBytes < m_iSectorSize || clusterBytes % m_iSectorSize != 0) return;
  const int spc = static_cast<int>(clusterBytes / m_iSectorSize);
  const long long lcn0 = runs.GetLCN(0);
  if (lcn0 < 0 || m_candidates.size() >= kMaxEvidence) return;
  // The records that follow $MFT in its group: 1 $MFTMirr, 2 $LogFile,
  // 4 $AttrDef, 6 $Bitmap, 10 $UpCase.
  auto recordAt = [&](int number) {
    return CNTFSFileRecord(following.Sub(static_cast<std::size_t>(number - 1) * recordBytes,
                                         std::min<std::size_t>(following.Size(), static_cast<std::size_t>(recordBytes))));
  };
  long long base = s - lcn0 * spc;
  if (base >= 0 && lcn0 <= s / spc) {
    CSearchedNTFSPartitionInfo& c = Candidate(base, spc);
    c.AddPartitionBuildFromFlag(kEvidenceMft);
    if (c.m_llMftSector < 0) {
      c.m_llMftSector = s;
      c.m_mftRuns = runs;
      c.m_iRecordBytes = recordBytes;
      TakeSystemFiles(c, recordAt, spc);
    }
  }
  // This record may be the copy in $MFTMirr: the mirror's first cluster then
  // places the volume.
  const CNTFSFileRecord mirror = recordAt(1);
  CNTFSDataRunList mirrorRuns;
  if (CMetaFileRecordTypeAnalyzer::IsValidMFTMirrFileRecord(mirror) && DataRunsOf(mirror, mirrorRuns)) {
    const long long lcn = mirrorRuns.GetLCN(0);
    if (lcn >= 0 && lcn <= s / spc) {
      const Key key{s - lcn * spc, spc};
      Candidate(key.first, spc).AddPartitionBuildFromFlag(kEvidenceMftMirror);
      if (m_mirrorCopies.count(key) == 0 && m_mirrorCopies.size() < kMaxEvidence) {
        MirrorCopy copy{runs, {}, recordBytes};
        const CNTFSFileRecord log = recordAt(2);
        if (CMetaFileRecordTypeAnalyzer::IsValidLogFileRecord(log)) DataRunsOf(log, copy.logRuns);
        m_mirrorCopies.emplace(key, std::move(copy));
      }
    }
  }
}

// A candidate whose own $MFT record was not found takes the $MFT runs of the
// copy in its $MFTMirr when enough FILE records lie where those runs put them.
void CNTFSSearchController::AdoptMirrorMft(CSearchedNTFSPartitionInfo& p, const Key& key) {
  if (p.m_llMftSector >= 0) return;
  const auto copy = m_mirrorCopies.find(key);
  if (copy == m_mirrorCopies.end()) return;
  const MftGeometry geometry{p.m_llClusterBaseSector, p.m_iSectorsPerCluster, m_iSectorSize, copy->second.recordBytes,
                             &copy->second.mftRuns};
  // Only the records inside the runs can be placed by them.
  long long placed = 0;
  for (const CDataRun& r : copy->second.mftRuns.Runs()) {
    const auto from = geometry.ClusterSector(r.lcn);
    long long span = 0;
    if (!from || __builtin_mul_overflow(r.length, static_cast<long long>(geometry.sectorsPerCluster), &span)) continue;
    auto it = std::lower_bound(m_records.begin(), m_records.end(), *from,
                               [](const RecordAt& x, long long sector) { return x.sector < sector; });
    for (; it != m_records.end() && it->sector - *from < span && placed < kMinPlacedRecords; ++it) {
      if (it->number < 0) continue;
      const auto place = geometry.RecordPlace(it->number);
      if (place && *place == RecordPosition{it->sector, it->offset}) ++placed;
    }
  }
  const auto mftSector = geometry.ClusterSector(copy->second.mftRuns.GetLCN(0));
  if (placed < kMinPlacedRecords || !mftSector) return;
  p.m_mftRuns = copy->second.mftRuns;
  p.m_iRecordBytes = copy->second.recordBytes;
  if (p.m_logRuns.IsEmpty()) p.m_logRuns = copy->second.logRuns;
  p.m_llMftSector = *mftSector;
  p.AddPartitionBuildFromFlag(kEvidenceMft);
  const auto fromDevice = [&](int number) {
    std::vector<std::uint8_t> raw;
    const auto place = geometry.RecordPlace(number);
    if (!place || !ReadBytesAt(*m_pDevice, *place, static_cast<std::size_t>(geometry.recordBytes), raw)) {
      return CNTFSFileRecord();
    }
    return CNTFSFileRecord(ByteView(raw.data(), raw.size()));
  };
  TakeSystemFiles(p, fromDevice, p.m_iSectorsPerCluster);
}

long long CNTFSSearchController::CountUnits(const std::set<long long>& units, const CNTFSDataRunList& runs,
                                            const CSearchedNTFSPartitionInfo& p) const {
  long long count = 0;
  const long long unitsPerSector = m_iSectorSize / static_cast<long long>(kUnit);
  const long long unitsPerCluster = unitsPerSector * p.m_iSectorsPerCluster;
  for (const CDataRun& r : runs.Runs()) {
    if (r.lcn < 0) continue;
    long long from = 0;
    long long span = 0;
    if (__builtin_mul_overflow(r.lcn, unitsPerCluster, &from) || __builtin_mul_overflow(r.length, unitsPerCluster, &span)) {
      continue;
    }
    from += p.m_llClusterBaseSector * unitsPerSector;
    for (auto it = units.lower_bound(from); it != units.end() && *it < from + span; ++it) ++count;
  }
  return count;
}

void CNTFSSearchController::Score(CSearchedNTFSPartitionInfo& p) {
  if ((p.m_uFlags & kEvidenceMft) && (p.m_uFlags & kEvidenceMftMirror)) p.m_uFlags |= kEvidenceMftConfirmed;
  p.m_iHasMft = p.m_llMftSector >= 0 ? 1 : 0;
  p.m_llUpCaseMatch = CountUnits(m_upCaseUnits, p.m_upCaseRuns, p);
  p.m_llAttrDefMatch = CountUnits(m_attrDefUnits, p.m_attrDefRuns, p);
  p.m_llLogFileMatch = CountUnits(m_logUnits, p.m_logRuns, p);
  const long long spc = p.m_iSectorsPerCluster;
  const long long clusterBytes = spc * m_iSectorSize;
  const long long logStart = p.m_logRuns.GetLCN(0);
  if (logStart >= 0) {
    for (long long r : m_restartPages) {
      const long long first = p.m_llClusterBaseSector + logStart * spc;
      if (r == first) p.m_uFlags |= kEvidenceRestart1;
      if (r == first + static_cast<long long>(ntfslog::kPageBytes) / m_iSectorSize) p.m_uFlags |= kEvidenceRestart2;
    }
  }
  // Index records placed by the $INDEX_ALLOCATION of their folder.
  long long matched = 0;
  for (const IndexRecordAt& x : m_indexRecords) {
    for (const Folder& f : m_folders) {
      if (f.number != x.owner) continue;
      const long long byte = clusterBytes <= 4096 ? x.vcn * clusterBytes : x.vcn * 512;
      const long long lcn = f.runs.GetLCN(byte / clusterBytes);
      if (lcn >= 0 && p.m_llClusterBaseSector + lcn * spc + (byte % clusterBytes) / m_iSectorSize == x.sector) {
        ++matched;
        break;
      }
    }
  }
  if (matched > 0) p.m_uFlags |= kEvidenceIndex;
  p.m_llValue56 = matched;
  p.m_iScore = p.ComputeScore();
  p.m_iValue80 = p.m_iScore;
  const long long deviceLeft = m_pDevice->GetTotalSectors() - p.m_llClusterBaseSector;
  long long total = deviceLeft;
  if (p.m_llBootTotalSectors > 0) {
    total = std::min(total, p.m_llBootTotalSectors);
  } else if (p.m_llBitmapSectors > 0) {
    total = std::min(total, p.m_llBitmapSectors);
  }
  p.SetTotalSectors(std::max(0LL, total));
  p.m_llTotalClusters = spc > 0 ? p.GetTotalSectors() / spc : 0;
}

void CNTFSSearchController::EndSearch(int build) {
  if (build == 0 || m_pDevice == nullptr) return;
  for (auto& [key, p] : m_candidates) {
    AdoptMirrorMft(*p, key);
    Score(*p);
    // Kept on evidence: a boot sector or a $MFT of its own, and more.
    const bool proven = (p->m_uFlags & kEvidenceBoot) != 0 || p->m_iHasMft != 0;
    if (proven && p->m_iScore > 10 && p->GetTotalSectors() > 0) m_kept.push_back(std::move(p));
  }
  m_candidates.clear();
  const int count = static_cast<int>(m_kept.size());
  for (int k = 0; k < count; ++k) {
    CSearchedNTFSPartitionInfo& p = *m_kept[static_cast<std::size_t>(k)];
    p.m_u16PartitionIndex = static_cast<std::uint16_t>(k);
    p.m_dScore = count - k;
    if (m_pBuilder != nullptr) BuildTree(p, k);
  }
  if (m_pBuilder != nullptr) {
    m_pBuilder->SetPartitonDevice(nullptr, m_pDevice);
    m_pBuilder->FlashBuild(kSearcherNtfs);
  }
  m_block.clear();
  m_block.shrink_to_fit();
}

void CNTFSSearchController::BuildTree(CSearchedNTFSPartitionInfo& p, int index) {
  MftGeometry geometry{p.m_llClusterBaseSector, p.m_iSectorsPerCluster, m_iSectorSize, p.m_iRecordBytes, &p.m_mftRuns};
  CFindFileFromLogFile logFile;
  if (p.m_iHasMft != 0) {
    if (logFile.Init(m_pDevice, geometry)) logFile.Analyzer();
    CMftSweep sweep(*m_pDevice, geometry, *m_pBuilder, &logFile, nullptr, index);
    long long total = 0;
    sweep.Run(total);
    return;
  }
  // No $MFT: the records found inside the partition, by their own numbers.
  geometry.mftRuns = nullptr;
  CMftSweep sweep(*m_pDevice, geometry, *m_pBuilder, nullptr, nullptr, index);
  const long long end = p.m_llClusterBaseSector + p.GetTotalSectors();
  for (const RecordAt& r : m_records) {
    if (r.sector < p.m_llClusterBaseSector || r.sector >= end) continue;
    std::vector<std::uint8_t> raw;
    if (!ReadBytesAt(*m_pDevice, RecordPosition{r.sector, r.offset}, static_cast<std::size_t>(p.m_iRecordBytes), raw)) {
      continue;
    }
    const ByteView bytes(raw.data(), raw.size());
    const CNTFSFileRecord record(bytes);
    if (!record.IsValid() || !record.HasXPNumberOfthisMFTRecord()) continue;
    sweep.BuildFileNodeFromRecord(bytes, record.GetXPNumberOfthisMFTRecord(), RecordPosition{r.sector, r.offset});
  }
}

int CNTFSSearchController::GetSearchedPartitionInfo(CSearchedPartitionInfo** out, int capacity) {
  const int count = static_cast<int>(m_kept.size());
  if (out == nullptr || capacity < count) return count;
  for (int k = 0; k < count; ++k) out[k] = new CSearchedPartitionInfo(*m_kept[static_cast<std::size_t>(k)]);
  return count;
}
