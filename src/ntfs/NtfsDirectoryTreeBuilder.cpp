#include "ntfs/NtfsDirectoryTreeBuilder.h"

#include <algorithm>
#include <deque>

#include "core/device/StorageDevice.h"
#include "ntfs/MetaFileRecord.h"
#include "ntfs/MftSweep.h"
#include "ntfs/MultiFileRecord.h"
#include "ntfs/NtfsFileNode.h"

namespace {

// Journals loaded per partition; each may take up to the journal limit.
constexpr std::size_t kMaxJournalsPerPartition = 4;
// Ids given to records whose own number is unknown, kept apart from record
// numbers and below the partition shift.
constexpr long long kUnknownIdBase = 1LL << 39;
constexpr long long kRootFolder = 5;

}  // namespace

long long CNTFSDirectoryTreeBuilder::GetMFTNumber(long long byte, const CMFTInfo& mft, long long clusterBase, int spc) {
  const MftGeometry g = mft.Geometry(clusterBase, spc);
  const long long clusterBytes = g.ClusterBytes();
  if (byte < 0 || spc <= 0 || clusterBytes <= 0 || g.recordBytes <= 0) return -1;
  const long long sector = byte / g.sectorSize;
  if (sector < clusterBase) return -1;
  const long long cluster = (sector - clusterBase) / spc;
  const long long vcn = mft.GetDataRunList().GetVCN(cluster);
  if (vcn < 0) return -1;
  long long offset = 0;
  if (__builtin_mul_overflow(vcn, clusterBytes, &offset)) return -1;
  offset += byte - (clusterBase + cluster * spc) * g.sectorSize;
  return offset % g.recordBytes != 0 ? -1 : offset / g.recordBytes;
}

void CNTFSDirectoryTreeBuilder::BuildDirectoryTree(const CSearchedNTFSPartitionInfo& p, int index) {
  if (p.m_iSectorsPerCluster <= 0 || p.GetTotalSectors() <= 0 || p.m_llClusterBaseSector < 0) return;
  m_iPartition = index;
  m_infos.clear();
  m_unmatched.clear();
  MatchMfts(p);
  ReadRecords(p);
  for (BuildInfo& info : m_infos) BuildTree(info.records);
  BuildTree(m_unmatched);
  m_infos.clear();
  m_unmatched.clear();
}

void CNTFSDirectoryTreeBuilder::MatchMfts(const CSearchedNTFSPartitionInfo& p) {
  const long long base = p.m_llClusterBaseSector;
  const int spc = p.m_iSectorsPerCluster;
  std::size_t journals = 0;
  for (const auto& mft : m_mfts) {
    if (!mft->LiesAtItsData(base, spc)) continue;
    const long long last = mft->GetDataRunList().GetLastCluster();
    long long reach = 0;
    if (last < 0 || __builtin_mul_overflow(last, static_cast<long long>(spc), &reach) || reach >= p.GetTotalSectors()) {
      continue;
    }
    const bool known = std::any_of(m_infos.begin(), m_infos.end(), [&](const BuildInfo& i) {
      return i.mft->GetDataRunList().IsEqual(mft->GetDataRunList());
    });
    if (known) continue;
    BuildInfo info{mft.get(), mft->Geometry(base, spc), std::make_unique<CFindFileFromLogFile>(), {}};
    if (journals < kMaxJournalsPerPartition && info.logFile->Init(&m_device, info.geometry)) {
      ++journals;
      info.logFile->Analyzer();
    }
    m_infos.push_back(std::move(info));
  }
}

void CNTFSDirectoryTreeBuilder::ReadRecords(const CSearchedNTFSPartitionInfo& p) {
  const long long ss = m_device.GetSectorSize();
  if (ss <= 0) return;
  const long long end = p.m_llClusterBaseSector + p.GetTotalSectors();
  const long long startByte = p.m_llClusterBaseSector * ss;
  const long long endByte = end * ss;
  const long long deviceSectors = m_device.GetTotalSectors();
  std::vector<std::uint8_t> block(static_cast<std::size_t>(kBlockMaxTotalSectors * ss));
  long long blockFirst = -1;
  long long blockCount = 0;
  auto it = std::upper_bound(m_positions.begin(), m_positions.end(), startByte,
                             [](long long b, const CCommonFileRecordPositionInfo& r) { return b < r.GetFirstByte(); });
  if (it != m_positions.begin()) --it;
  for (; it != m_positions.end() && it->GetFirstByte() < endByte; ++it) {
    const long long r = it->GetRecordBytes();
    long long i = it->GetFirstByte() >= startByte ? 0 : (startByte - it->GetFirstByte() + r - 1) / r;
    for (; i < it->GetFileRecordCount(); ++i) {
      const long long byte = it->ByteOf(i);
      if (byte + r > endByte) break;
      const long long sector = byte / ss;
      const long long need = (byte % ss + r + ss - 1) / ss;
      if (blockFirst < 0 || sector < blockFirst || sector + need > blockFirst + blockCount) {
        blockFirst = sector;
        blockCount = std::min({kBlockMaxTotalSectors, end - sector, deviceSectors - sector});
        if (blockCount < need) {
          blockFirst = -1;
          continue;
        }
        // A failed read leaves zeros, which hold no record.
        if (m_device.ReadSector(block.data(), blockFirst, blockCount) == 0) std::fill(block.begin(), block.end(), 0);
      }
      const std::size_t at = static_cast<std::size_t>((sector - blockFirst) * ss + byte % ss);
      AnalyzeRecord(p, byte, ByteView(block.data() + at, static_cast<std::size_t>(r)));
    }
  }
}

CNTFSDirectoryTreeBuilder::BuildInfo* CNTFSDirectoryTreeBuilder::InfoHolding(const CSearchedNTFSPartitionInfo& p,
                                                                             long long sector) {
  if (p.m_iHasMft == 0 || sector < p.m_llClusterBaseSector) return nullptr;
  const long long cluster = (sector - p.m_llClusterBaseSector) / p.m_iSectorsPerCluster;
  for (BuildInfo& info : m_infos) {
    if (info.mft->GetDataRunList().IsLCNContained(cluster)) return &info;
  }
  return nullptr;
}

void CNTFSDirectoryTreeBuilder::AnalyzeRecord(const CSearchedNTFSPartitionInfo& p, long long byte,
                                              const ByteView& bytes) {
  const CNTFSFileRecord record(bytes);
  if (!record.IsValid() || record.IsExtendFileRecord() || CIsMetaFileRecord::IsMetaFileRecord(bytes)) return;
  BuildInfo* info = InfoHolding(p, byte / m_device.GetSectorSize());
  if (info == nullptr && !m_lostBuilt.insert(byte).second) return;
  CCommonFileRecordInfo built;
  if (!BuildRecord(p, info, byte, bytes, built)) return;
  (info != nullptr ? info->records : m_unmatched).push_back(std::move(built));
}

bool CNTFSDirectoryTreeBuilder::BuildRecord(const CSearchedNTFSPartitionInfo& p, BuildInfo* info, long long byte,
                                            const ByteView& bytes, CCommonFileRecordInfo& out) {
  const int ss = m_device.GetSectorSize();
  const RecordPosition place{byte / ss, static_cast<unsigned>(byte % ss)};
  const CNTFSFileRecord record(bytes);
  long long number = record.HasXPNumberOfthisMFTRecord() ? record.GetXPNumberOfthisMFTRecord() : -1;
  if (number < 0 && info != nullptr)
    number = GetMFTNumber(byte, *info->mft, p.m_llClusterBaseSector, p.m_iSectorsPerCluster);
  const MftGeometry geometry = info != nullptr ? info->geometry
                                               : MftGeometry{p.m_llClusterBaseSector, p.m_iSectorsPerCluster, ss,
                                                             static_cast<int>(bytes.Size()), nullptr};
  ExtendRecordList extensions;
  if (info != nullptr) extensions = CNTFSMultiFileRecord::InitExtendFileRecord(record, place, geometry, &m_device);
  const CNTFSMultiFileRecord multi(record, place, &m_device, extensions, geometry.recordBytes);
  long long parent = ParentFromFileNames(multi);
  long long reported = -1;
  auto props = CNTFSFilePropertiesBuilder::BuildFileProperties(place, multi, geometry.ClusterBytes(), reported);
  if (!props) return false;
  if (parent == -1 && reported != -1) parent = reported;
  props->SetFileRecordIndex(number);
  if (props->GetFileSize() == 0 && !record.IsFolder() && (props->GetState() & kNtfsStateDeleted) != 0) {
    // The journal of this record's $MFT first, then the others.
    std::vector<CFindFileFromLogFile*> journals;
    if (info != nullptr) journals.push_back(info->logFile.get());
    for (BuildInfo& other : m_infos) {
      if (&other != info) journals.push_back(other.logFile.get());
    }
    for (CFindFileFromLogFile* log : journals) {
      if (log->IsFound() && log->ReplaceFileRecordInfo(bytes, *props, reported, extensions)) break;
    }
  }
  CNTFSFilePropertiesBuilder::AdjustFileSizeAccordinttoDataRunsWhenFileSizeLessThanZero(*props,
                                                                                        geometry.ClusterBytes());
  props->SetExtendFileRecordInfoList(std::move(extensions));
  out.number = number;
  out.parent = parent;
  out.directory = record.IsFolder();
  out.properties = std::move(props);
  return true;
}

// Breadth first from the root folder; what no folder reached follows with
// its own parent, so that the tree builder files it as well as it can.
void CNTFSDirectoryTreeBuilder::BuildTree(std::vector<CCommonFileRecordInfo>& records) {
  std::multimap<long long, std::size_t> byParent;
  for (std::size_t i = 0; i < records.size(); ++i) byParent.emplace(records[i].parent, i);
  std::deque<long long> folders{kRootFolder};
  while (!folders.empty()) {
    const long long parent = folders.front();
    folders.pop_front();
    auto [it, end] = byParent.equal_range(parent);
    std::vector<std::size_t> children;
    for (; it != end; it = byParent.erase(it)) children.push_back(it->second);
    for (std::size_t i : children) {
      CCommonFileRecordInfo& child = records[i];
      const bool folder = child.directory && child.number >= 0;
      const long long number = child.number;
      if (Offer(child) && folder) folders.push_back(number);
    }
  }
  for (const auto& [parent, i] : byParent) Offer(records[i]);
  records.clear();
}

bool CNTFSDirectoryTreeBuilder::Offer(CCommonFileRecordInfo& record) {
  if (!record.properties) return false;
  const long long id = record.number >= 0 ? record.number : kUnknownIdBase + m_llNextUnknownId++;
  auto* node = new CNTFSFileNode();
  node->SetFileProperties(std::move(record.properties));
  node->SetCurrentNodeID(PartitionNodeId(id, m_iPartition));
  node->SetParentNodeID(PartitionNodeId(record.parent, m_iPartition));
  if (m_iPartition >= 0) node->SetBelongedPartition(static_cast<unsigned short>(m_iPartition));
  if (m_builder.AddNode(node, kSearcherNtfs) == 0) {
    node->Release();
    return false;
  }
  return true;
}
