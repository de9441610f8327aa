#include "ntfs/NtfsPartitionCandidates.h"

std::unique_ptr<CSearchedNTFSPartitionInfo> CNTFSPartitionInfoBuilder::BuildFromFile(long long sector, long long lcn,
                                                                                     int spc, unsigned flags) const {
  if (spc <= 0 || spc > 0xFF || lcn < 0 || sector < 0) return nullptr;
  long long offset = 0;
  if (__builtin_mul_overflow(lcn, static_cast<long long>(spc), &offset)) return nullptr;
  const long long base = sector - offset;
  // A boot sector and the rest of the first cluster come before any file.
  if (base < 0 || base > sector - 8 || base >= m_llDeviceSectors) return nullptr;
  auto p = std::make_unique<CSearchedNTFSPartitionInfo>(m_iSectorSize);
  p->m_llClusterBaseSector = base;
  p->m_llStartSector = base;
  p->m_iSectorsPerCluster = spc;
  p->m_llValue56 = 0;
  p->m_llTotalClusters = (m_llDeviceSectors - base) / spc;
  p->SetTotalSectors(p->m_llTotalClusters * spc);
  p->m_uFlags = flags;
  return p;
}

bool CNTFSPartitionInfoBuilder::AdjustPartitionBuildFromFlag(const CSearchedNTFSPartitionInfo& candidate, unsigned add,
                                                             unsigned clear) {
  auto [it, end] = m_set.equal_range(KeyOf(candidate));
  const bool found = it != end;
  while (it != end) {
    const unsigned flags = it->second->m_uFlags;
    it->second->m_uFlags = add | ((flags & clear) != 0 ? flags & ~clear : flags);
    if (it->second->m_uFlags == 0) {
      it = m_set.erase(it);
    } else {
      ++it;
    }
  }
  return found;
}

CSearchedNTFSPartitionInfo* CNTFSPartitionInfoBuilder::AddOrMerge(std::unique_ptr<CSearchedNTFSPartitionInfo> c) {
  if (!c || AdjustPartitionBuildFromFlag(*c, c->m_uFlags, 0)) return nullptr;
  return Insert(std::move(c));
}

CSearchedNTFSPartitionInfo* CNTFSPartitionInfoBuilder::Insert(std::unique_ptr<CSearchedNTFSPartitionInfo> c) {
  if (!c || m_set.size() >= kMaxCandidates) return nullptr;
  const Key key = KeyOf(*c);
  return m_set.emplace(key, std::move(c))->second.get();
}
