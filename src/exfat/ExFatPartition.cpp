#include "exfat/ExFatPartition.h"

#include <unordered_set>

#include "core/device/StorageDevice.h"
#include "exfat/ExFatDirEntryLayout.h"
#include "exfat/ExFatFileNode.h"
#include "exfat/ExFatTime.h"

namespace de = exfatde;

std::int64_t CExFatPartition::ConvertClusterNumToSector(std::uint32_t cluster) const {
  if (cluster < de::kFirstDataCluster) return 0;
  return static_cast<std::int64_t>(cluster - 2) * m_sectorsPerCluster + m_heapStartSector;
}

std::uint32_t CExFatPartition::ConvertSectorToClusterNum(std::int64_t sector) const {
  if (m_sectorsPerCluster == 0) return 0;
  const std::int64_t spc = m_sectorsPerCluster;
  const std::int64_t n = sector + spc - 1 - m_heapStartSector;
  if (n < 0) return 0;
  return static_cast<std::uint32_t>(n / spc + 2);
}

std::uint32_t CExFatPartition::GetNextCluster(std::uint32_t cluster, bool noFatChain) {
  const std::uint32_t next = noFatChain ? cluster + 1 : m_fat.GetNextCluster(cluster);
  return next >= m_clusterLimit ? de::kEndOfChain : next;
}

bool CExFatPartition::IsClusterAllocated(std::uint32_t cluster) const {
  if (cluster < de::kFirstDataCluster) return true;
  const std::uint64_t bit = cluster - 2;
  if (bit / 8 >= m_bitmap.size()) return true;
  return (m_bitmap[bit / 8] >> (bit % 8)) & 1;
}

std::uint32_t CExFatPartition::NextFreeCluster(std::uint32_t after, std::uint64_t& budget) const {
  for (std::uint64_t c = std::uint64_t{after} + 1; c < m_clusterLimit && budget > 0; ++c, --budget) {
    if (!IsClusterAllocated(static_cast<std::uint32_t>(c))) return static_cast<std::uint32_t>(c);
  }
  return de::kEndOfChain;
}

IDataRunList* CExFatPartition::BuildFileDataRun(const _tagFileBaseInfo& info) {
  IDataRunList* list = CreateDataRunList();
  if (info.IsFolder() || info.dataLength <= 0 || info.firstCluster < de::kFirstDataCluster ||
      info.firstCluster > de::kLastValidCluster || m_bytesPerCluster == 0) {
    return list;
  }
  const std::uint64_t needed =
      (static_cast<std::uint64_t>(info.dataLength) + m_bytesPerCluster - 1) / m_bytesPerCluster;
  if (info.noFatChain != 0) {
    std::uint64_t length = needed;
    // The run stops at the end of the cluster heap.
    if (m_clusterLimit > info.firstCluster && length > std::uint64_t{m_clusterLimit} - info.firstCluster) {
      length = std::uint64_t{m_clusterLimit} - info.firstCluster;
    }
    const DataRun run{static_cast<long long>(info.firstCluster) - 2, static_cast<long long>(length)};
    list->AddDataRun(&run);
    return list;
  }
  // Follow the FAT. A deleted file whose chain was freed goes on through the
  // clusters that follow, skipping those the bitmap marks as in use.
  const bool deleted = info.inUse == 0;
  std::uint32_t cluster = info.firstCluster;
  std::uint64_t scanBudget = m_clusterLimit;  // bitmap bits looked at, per file
  for (std::uint64_t i = 0; i < needed; ++i) {
    if (cluster < de::kFirstDataCluster || cluster > de::kLastValidCluster || cluster >= m_clusterLimit) break;
    const DataRun run{static_cast<long long>(cluster) - 2, 1};
    list->AddDataRun(&run);
    if (i + 1 == needed) break;
    std::uint32_t next = GetNextCluster(cluster, false);
    if (deleted && (next < de::kFirstDataCluster || next > de::kLastValidCluster)) {
      next = HasAllocationBitmap() ? NextFreeCluster(cluster, scanBudget) : cluster + 1;
    }
    cluster = next;
  }
  return list;
}

CExFatFileNode* CExFatPartition::BuildFile(const _tagFileBaseInfo& info) {
  auto* node = new CExFatFileNode();
  node->SetFirstCluster(info.firstCluster);
  node->SetFileAttributes(info.attributes);
  node->SetFileTime(DosTime2FileTime(info.created, info.createdUtcOffset),
                    DosTime2FileTime(info.modified, info.modifiedUtcOffset),
                    DosTime2FileTime(info.accessed, info.accessedUtcOffset));
  node->SetFileName(info.name.c_str());
  node->SetFileSize(info.dataLength);
  node->SetMetaDataSector(info.metadataSector);
  if (info.inUse == 0) node->SetFileDeleted();
  if (info.noFatChain != 0) node->SetFileFatInvalid();
  node->SetDataRunList(BuildFileDataRun(info));
  return node;
}

void CExFatPartition::LoadAllocationBitmap(IStorageDevice* device, std::uint32_t firstCluster, std::uint64_t length) {
  constexpr std::uint64_t kMaxBitmapBytes = 64ull << 20;
  const std::uint64_t clusters = m_clusterLimit > 2 ? m_clusterLimit - 2 : 0;
  if (device == nullptr || m_bytesPerCluster == 0 || length < (clusters + 7) / 8 || length > kMaxBitmapBytes) return;
  std::vector<std::uint8_t> cluster(m_bytesPerCluster);
  std::vector<std::uint8_t> bitmap;
  bitmap.reserve(static_cast<std::size_t>(length));
  std::unordered_set<std::uint32_t> seen;
  std::uint32_t c = firstCluster;
  while (bitmap.size() < length && c >= de::kFirstDataCluster && c < m_clusterLimit && seen.insert(c).second) {
    if (device->ReadSector(cluster.data(), ConvertClusterNumToSector(c), m_sectorsPerCluster) == 0) return;
    const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(cluster.size(), length - bitmap.size()));
    bitmap.insert(bitmap.end(), cluster.begin(), cluster.begin() + static_cast<std::ptrdiff_t>(take));
    // Without a FAT the bitmap is taken as contiguous.
    c = m_fat.IsValid() ? GetNextCluster(c, false) : c + 1;
  }
  if (bitmap.size() == length) m_bitmap = std::move(bitmap);
}
