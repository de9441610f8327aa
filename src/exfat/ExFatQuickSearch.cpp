#include "exfat/ExFatQuickSearch.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>

#include "core/device/StorageDevice.h"
#include "core/util/Log.h"
#include "exfat/ExFatDirEntryLayout.h"
#include "exfat/ExFatFileNode.h"
#include "exfat/ExFatBootSector.h"

namespace de = exfatde;

namespace {

constexpr std::size_t kBootBufferBytes = 4096;
// How far past a folder's end the rest of a cut set is sought: clusters
// looked at, and free ones read.
constexpr std::uint32_t kJoinClustersTried = 65536;
constexpr std::uint32_t kJoinReads = 512;

RESULT Fail(std::uint32_t code, std::uint32_t line) { return result::Make(result::kModuleFatSearch, line, code); }

bool IsDataCluster(std::uint32_t c) { return c >= de::kFirstDataCluster && c <= de::kLastValidCluster; }

}  // namespace

IQuickFileSystemSearchController* CreateEXFatQuickSearcher() { return new CExFatQuickSearch(); }

int CExFatQuickSearch::GetSearchedPartitionInfo(CSearchedPartitionInfo** out, int capacity) {
  if (!m_prepared) return 0;
  if (out != nullptr && capacity >= 1) {
    auto* info = new CSearchedPartitionInfo(static_cast<int>(m_partition.m_sectorSize));
    info->m_iFileSystem = kFsExFat;
    info->m_iSectorsPerCluster = static_cast<std::int32_t>(m_partition.m_sectorsPerCluster);
    info->m_llClusterBaseSector = m_partition.m_heapStartSector;
    info->m_llStartSector = 0;
    info->SetTotalSectors(0);
    out[0] = info;
  }
  return 1;
}

RESULT CExFatQuickSearch::PrepareSearch(IStorageDevice* device) {
  if (device == nullptr) return Fail(kExFatNoDeviceOrProgress, __LINE__);
  if (m_builder == nullptr) return Fail(kExFatNoBuilder, __LINE__);
  const int sectorSize = device->GetSectorSize();
  if (sectorSize <= 0 || static_cast<std::size_t>(sectorSize) > kBootBufferBytes) {
    return Fail(kExFatNotExFat, __LINE__);
  }
  std::vector<std::uint8_t> boot(kBootBufferBytes, 0);
  if (device->ReadSector(boot.data(), 0, 1) == 0) {
    CatchExeception::WriteLog("exFAT quick scan: sector 0 cannot be read\n");
    return Fail(kExFatNotExFat, __LINE__);
  }
  const CExFatDBR dbr(ByteView(boot.data(), boot.size()));
  if (!dbr.IsValid(static_cast<std::uint32_t>(sectorSize))) {
    CatchExeception::WriteLog("exFAT quick scan: sector 0 is not an exFAT boot sector\n");
    return Fail(kExFatNotExFat, __LINE__);
  }

  const std::uint32_t bps = dbr.GetBytePerSector();
  const std::uint32_t spc = dbr.GetSectorsperCluster();
  const std::uint32_t sectorShift = static_cast<std::uint32_t>(std::countr_zero(bps));
  const std::uint32_t clusterShift = static_cast<std::uint32_t>(std::countr_zero(bps * spc));
  const std::uint64_t count = dbr.GetTotalCluster();
  m_heapClusterLimit = static_cast<std::uint32_t>(std::min<std::uint64_t>(count + 2, 0xFFFFFFF6ull));
  m_analyze.PrepareAnayze(sectorShift, clusterShift, static_cast<std::uint64_t>(device->GetTotalSectors()),
                          ExFatHeapLimits{m_heapClusterLimit, bps * spc});

  m_partition.m_sectorSize = bps;
  m_partition.m_heapStartSector = dbr.GetDataRegionStartSector();
  m_partition.m_sectorsPerCluster = spc;
  m_partition.m_rootCluster = dbr.GetRootDirStartCluster();
  m_partition.m_clusterLimit = m_heapClusterLimit;
  const std::uint64_t capacity = std::uint64_t{dbr.GetSectorsPerFat()} * bps / 4;
  if (count < capacity) {
    std::printf("chang totalClustur = %d\n", static_cast<int>(capacity));
    m_partition.m_clusterLimit = static_cast<std::uint32_t>(
        std::max<std::uint64_t>(m_heapClusterLimit, std::min<std::uint64_t>(capacity, 0xFFFFFFF6ull)));
  }
  m_partition.m_fat.CreateFatTable(device, dbr.GetFatStartSector(), dbr.GetSectorsPerFat(), dbr.GetTotalCluster());
  m_partition.m_bytesPerCluster = bps * spc;
  m_partition.m_totalSectors = dbr.GetTotalSectors();
  m_cluster.assign(m_partition.m_bytesPerCluster, 0);
  m_clustersRead.clear();
  if (m_builder->AddSearcherInfo(kSearcherExFat, m_partition.ConvertClusterNumToSector(m_partition.m_rootCluster)) ==
      0) {
    return Fail(kExFatNoBuilder, __LINE__);
  }
  m_prepared = true;
  return result::kSuccess;
}

bool CExFatQuickSearch::BuildChildren(IStorageDevice* device, const Folder& folder) {
  const bool readOk = ReadFolder(device, folder);
  HandOver(folder);
  return readOk;
}

bool CExFatQuickSearch::ReadFolder(IStorageDevice* device, const Folder& folder) {
  bool readFailed = false;
  std::uint32_t cluster = folder.firstCluster;
  std::uint64_t left = folder.size;
  m_analyze.Reset();
  while (IsDataCluster(cluster)) {
    if (!m_clustersRead.insert(cluster).second) break;
    const std::int64_t sector = m_partition.ConvertClusterNumToSector(cluster);
    if (device->ReadSector(m_cluster.data(), sector, m_partition.m_sectorsPerCluster) == 0) {
      readFailed = true;
      break;
    }
    if (!m_analyze.Analyze(ByteView(m_cluster.data(), m_cluster.size()), sector)) break;
    if (left <= m_partition.m_bytesPerCluster) {
      FinishCutSet(device, cluster);
      break;
    }
    left -= m_partition.m_bytesPerCluster;
    std::uint32_t next = m_partition.GetNextCluster(cluster, folder.noFatChain);
    // A deleted folder's freed chain goes on through the following clusters.
    if (folder.deleted && !IsDataCluster(next)) next = cluster + 1 < m_heapClusterLimit ? cluster + 1 : de::kEndOfChain;
    cluster = next;
  }
  m_analyze.Reset();
  return !readFailed;
}

void CExFatQuickSearch::FinishCutSet(IStorageDevice* device, std::uint32_t lastCluster) {
  // A folder that shrank leaves the rest of a set cut by its end in a freed
  // cluster, usually soon after its last one but not always the next: the
  // folder grew while files took the clusters between. Free clusters after
  // the end are tried in order, each only read where its entries would lie;
  // the set's checksum tells when one completes it. Otherwise the head is
  // kept with the name characters it holds.
  if (m_analyze.HasPending() && m_partition.HasAllocationBitmap()) {
    const std::uint32_t sectorSize = m_partition.m_sectorSize;
    const std::uint64_t restBytes = std::uint64_t{m_analyze.Pending().SecondaryLeft()} * de::kEntrySize;
    const std::uint32_t sectors = static_cast<std::uint32_t>(
        std::min<std::uint64_t>((restBytes + sectorSize - 1) / sectorSize, m_partition.m_sectorsPerCluster));
    std::uint32_t reads = 0;
    std::uint32_t tried = 0;
    for (std::uint32_t next = lastCluster + 1;
         next < m_heapClusterLimit && IsDataCluster(next) && tried < kJoinClustersTried && reads < kJoinReads;
         ++next, ++tried) {
      if (m_partition.IsClusterAllocated(next) || IsClusterProssed(next)) continue;
      const std::int64_t sector = m_partition.ConvertClusterNumToSector(next);
      ++reads;
      if (sectors == 0 || device->ReadSector(m_cluster.data(), sector, sectors) == 0) continue;
      if (m_analyze.FinishPending(ByteView(m_cluster.data(), std::size_t{sectors} * sectorSize), sector)) break;
    }
  }
  m_analyze.KeepCutHead();
}

void CExFatQuickSearch::HandOver(const Folder& folder) {
  const std::int64_t parentId = m_partition.ConvertClusterNumToSector(folder.firstCluster);
  for (_tagFileBaseInfo& info : m_analyze.Completed()) {
    if (folder.deleted) info.inUse = 0;
    CExFatFileNode* node = m_partition.BuildFile(info);
    node->SetID(info.firstCluster < de::kFirstDataCluster ? 0
                                                          : m_partition.ConvertClusterNumToSector(info.firstCluster));
    node->SetParentID(parentId);
    if (m_builder->AddNode(node, kSearcherExFat) == 0) {
      node->Release();
      continue;
    }
    if (info.IsFolder()) {
      const Folder child{info.firstCluster, static_cast<std::uint64_t>(info.dataLength), info.noFatChain != 0,
                         info.inUse == 0};
      (child.deleted ? m_deletedFolders : m_liveFolders).push_back(child);
    }
  }
  m_analyze.Completed().clear();
}

void CExFatQuickSearch::LoadAllocationBitmap(IStorageDevice* device) {
  const CEFDTAnalyze::TableRef& ref = m_analyze.Bitmap();
  if (!ref.seen) return;
  // Chains end at the heap's end while the bitmap is read.
  const std::uint32_t limit = m_partition.m_clusterLimit;
  m_partition.m_clusterLimit = m_heapClusterLimit;
  m_partition.LoadAllocationBitmap(device, ref.firstCluster, ref.length);
  m_partition.m_clusterLimit = limit;
}

RESULT CExFatQuickSearch::QuickSearch(IStorageDevice* device, IProgress* progress) {
  const std::uint64_t rootSize = std::uint64_t{m_partition.m_clusterLimit} * m_partition.m_bytesPerCluster;
  // The root's bitmap entry is read before its files are made: deleted files
  // whose chains were freed continue through free clusters.
  const Folder root{m_partition.m_rootCluster, rootSize, false, false};
  if (!ReadFolder(device, root)) {
    m_analyze.Completed().clear();
    return Fail(kExFatRootUnreadable, __LINE__);
  }
  LoadAllocationBitmap(device);
  HandOver(root);

  _PROGRESS_INFO info;
  std::memset(&info, 0, sizeof(info));
  std::uint64_t done = 0;
  std::uint64_t lastPercent = 0;
  while ((!m_liveFolders.empty() || !m_deletedFolders.empty()) && progress->Continued() != 0) {
    std::deque<Folder>& queue = m_liveFolders.empty() ? m_deletedFolders : m_liveFolders;
    const Folder folder = queue.front();
    queue.pop_front();
    if (!BuildChildren(device, folder)) break;
    ++done;
    const std::uint64_t total = done + m_liveFolders.size() + m_deletedFolders.size();
    const std::uint64_t percent = done * 100 / total;
    if (percent > lastPercent) {
      std::memset(&info, 0, sizeof(info));
      info.state = kProgressFirstSweep;
      info.total = total;
      info.done = done;
      progress->UpdateProgress(&info);
      lastPercent = percent;
    }
  }
  m_builder->SetPartitonDevice(nullptr, device);
  m_builder->FlashBuild(kSearcherExFat);
  std::memset(&info, 0, sizeof(info));
  info.state = kProgressFinished;
  info.total = 1;
  info.done = 1;
  progress->UpdateProgress(&info);
  return result::kSuccess;
}

RESULT CExFatQuickSearch::QuickSearchFiles(IStorageDevice* device, IProgress* progress) {
  m_prepared = false;
  m_liveFolders.clear();
  m_deletedFolders.clear();
  if (device == nullptr || progress == nullptr) return Fail(kExFatNoDeviceOrProgress, __LINE__);
  const RESULT prepared = PrepareSearch(device);
  if (result::Failed(prepared)) return prepared;
  return QuickSearch(device, progress);
}
