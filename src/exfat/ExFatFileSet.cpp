#include "exfat/ExFatFileSet.h"

#include <algorithm>
#include <bit>

#include "exfat/ExFatDirEntryLayout.h"

namespace {

bool IsDataCluster(std::uint32_t c) { return c >= exfatde::kFirstDataCluster && c <= exfatde::kLastValidCluster; }

}  // namespace

void CFileSet::UpdateFileList(_tagFileBaseInfo info) {
  if (IsDataCluster(info.firstCluster)) {
    m_lowestCluster = std::min(m_lowestCluster, info.firstCluster);
    m_highestCluster = std::max(m_highestCluster, info.firstCluster);
  }
  if (info.IsFolder() && info.inUse != 0) {
    // A folder's length is a whole number of clusters.
    const std::uint64_t length = static_cast<std::uint64_t>(info.dataLength);
    const std::uint64_t largest = length == 0 ? 1 : (length & (~length + 1));
    if (largest < m_maxClusterBytes) m_maxClusterBytes = static_cast<std::uint32_t>(largest);
  }
  m_files.push_back(std::move(info));
}

void CFileSet::RecordSector(std::int64_t sector) {
  if (m_firstSector < 0) {
    m_firstSector = sector;
    m_length = 1;
  } else if (sector >= m_firstSector) {
    m_length = static_cast<std::uint32_t>(std::min<std::int64_t>(sector - m_firstSector + 1, UINT32_MAX));
  }
}

void CFileSet::SetBitmapInfo(std::uint32_t cluster, std::uint64_t length) {
  m_flags |= kBitmap;
  m_bitmapCluster = cluster;
  m_bitmapBytes = length;
  if (m_rootCluster <= cluster) m_rootCluster = cluster + 1;
}

void CFileSet::SetUpcaseTableInfo(std::uint32_t cluster, std::uint64_t size) {
  m_flags |= kUpcase;
  m_upcaseCluster = cluster;
  m_upcaseBytes = size;
  if (m_rootCluster <= cluster) m_rootCluster = cluster + 1;
}

void CFileSet::CalculateClusterSize() {
  std::vector<const _tagFileBaseInfo*> live;
  for (const auto& f : m_files) {
    if (f.inUse != 0 && IsDataCluster(f.firstCluster)) live.push_back(&f);
  }
  std::sort(live.begin(), live.end(),
            [](const _tagFileBaseInfo* a, const _tagFileBaseInfo* b) { return a->firstCluster < b->firstCluster; });
  for (std::size_t i = 1; i < live.size(); ++i) {
    const _tagFileBaseInfo& prev = *live[i - 1];
    const std::uint32_t gap = live[i]->firstCluster - prev.firstCluster;
    if (prev.noFatChain == 0 || gap == 0 || prev.dataLength <= 0) continue;
    const std::uint64_t atLeast = (static_cast<std::uint64_t>(prev.dataLength) + gap - 1) / gap;
    if (atLeast > m_minClusterBytes && atLeast <= kMaxClusterBytes) {
      m_minClusterBytes = static_cast<std::uint32_t>(std::bit_ceil(atLeast));
    }
  }
}

bool CFileSet::AllowsClusterBytes(std::uint64_t bytes) const {
  return bytes >= m_minClusterBytes && bytes <= m_maxClusterBytes;
}

void CFileSet::Narrow(CFileSet& other) {
  const std::uint32_t lo = std::max(m_minClusterBytes, other.m_minClusterBytes);
  const std::uint32_t hi = std::min(m_maxClusterBytes, other.m_maxClusterBytes);
  m_minClusterBytes = other.m_minClusterBytes = lo;
  m_maxClusterBytes = other.m_maxClusterBytes = hi;
}

bool CFileSet::GetAndCheckClusterSet(std::set<std::uint32_t>& claimed, std::uint32_t bytesPerCluster) const {
  if (bytesPerCluster == 0) return false;
  for (const auto& f : m_files) {
    if (f.inUse == 0 || !IsDataCluster(f.firstCluster)) continue;
    if (!claimed.insert(f.firstCluster).second) return false;
    if (f.noFatChain == 0 || f.dataLength <= 0) continue;
    const std::uint64_t clusters = (static_cast<std::uint64_t>(f.dataLength) + bytesPerCluster - 1) / bytesPerCluster;
    for (std::uint64_t i = 1; i < clusters; ++i) {
      const std::uint64_t c = std::uint64_t{f.firstCluster} + i;
      if (c > exfatde::kLastValidCluster || !claimed.insert(static_cast<std::uint32_t>(c)).second) return false;
    }
  }
  return true;
}

void CFileSet::GetFolder(std::vector<std::uint32_t>& out) const {
  for (const auto& f : m_files) {
    if (f.inUse != 0 && f.IsFolder() && IsDataCluster(f.firstCluster)) out.push_back(f.firstCluster);
  }
}

bool CFileSet::HasFolder() const {
  return std::any_of(m_files.begin(), m_files.end(), [](const _tagFileBaseInfo& f) {
    return f.inUse != 0 && f.IsFolder() && IsDataCluster(f.firstCluster);
  });
}
