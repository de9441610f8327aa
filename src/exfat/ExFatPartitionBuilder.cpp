#include "exfat/ExFatPartitionBuilder.h"

#include <algorithm>
#include <bit>
#include <deque>
#include <unordered_map>
#include <unordered_set>

#include "core/device/StorageDevice.h"
#include "exfat/ExFatDirEntryLayout.h"
#include "exfat/ExFatFileNode.h"

namespace de = exfatde;

namespace {

constexpr std::uint32_t kMaxRootTries = 256;
constexpr std::uint64_t kMaxFolderBytes = 0x10000000;

bool IsDataCluster(std::uint32_t c) { return c >= de::kFirstDataCluster && c <= de::kLastValidCluster; }

}  // namespace

void CPartitionBuilder::PrepareBuild(std::uint32_t sectorSize, std::int64_t totalSectors) {
  Clear();
  m_sectorSize = sectorSize;
  m_totalSectors = totalSectors;
}

void CPartitionBuilder::Clear() {
  m_sets.clear();
  m_setIndex.clear();
  m_candidates.clear();
  m_finished.clear();
  m_fatSectors.clear();
  m_upcaseSectors.clear();
  m_extendedBoot.clear();
  m_owner.clear();
}

CExFatPartitionEx* CPartitionBuilder::FindCandidate(std::int64_t heap, std::uint32_t spc) {
  for (auto& c : m_candidates) {
    if (c->m_heapStartSector == heap && c->m_sectorsPerCluster == spc) return c.get();
  }
  return nullptr;
}

CExFatPartitionEx* CPartitionBuilder::AddCandidate(std::int64_t heap, std::uint32_t spc, std::uint32_t root,
                                                   std::uint32_t clusters, std::uint32_t flags) {
  if (CExFatPartitionEx* existing = FindCandidate(heap, spc)) {
    if (existing->m_rootCluster == root) existing->m_flags |= flags;
    return existing;
  }
  if (m_candidates.size() >= kMaxCandidates) return nullptr;
  auto p = std::make_unique<CExFatPartitionEx>();
  p->m_flags = flags;
  p->m_heapStartSector = heap;
  p->m_sectorsPerCluster = spc;
  p->m_sectorSize = m_sectorSize;
  p->m_bytesPerCluster = spc * m_sectorSize;
  p->m_rootCluster = root;
  p->m_clusterCount = clusters;
  p->m_clusterLimit = static_cast<std::uint32_t>(std::min<std::uint64_t>(std::uint64_t{clusters} + 2, 0xFFFFFFF6ull));
  const std::uint64_t span = std::uint64_t{clusters} * spc;
  const std::uint64_t rest = heap < m_totalSectors ? static_cast<std::uint64_t>(m_totalSectors - heap) : 0;
  p->m_totalSectors = span == 0 ? rest : std::min(span, rest);
  m_candidates.push_back(std::move(p));
  return m_candidates.back().get();
}

void CPartitionBuilder::Build(std::int64_t sector, const CExFatDBR& boot) {
  const std::int64_t heapOffset = boot.GetDataRegionStartSector();
  const std::uint32_t spc = boot.GetSectorsperCluster();
  // The backup copy 12 sectors after a main boot sector already seen.
  if (CExFatPartitionEx* main = FindCandidate(sector - 12 + heapOffset, spc);
      main != nullptr && (main->m_flags & CExFatPartitionEx::kFromBoot) != 0) {
    main->m_flags |= CExFatPartitionEx::kFromBackup;
    std::erase_if(m_candidates, [&](const auto& c) {
      return c->m_flags == CExFatPartitionEx::kFromBackup && c->m_heapStartSector == sector - 24 + heapOffset &&
             c->m_sectorsPerCluster == spc;
    });
    return;
  }
  auto fill = [&](CExFatPartitionEx* p, std::int64_t start, bool raise) {
    if (p == nullptr) return;
    p->m_startSector = start;
    p->m_startKnown = true;
    p->m_totalSectors = boot.GetTotalSectors();
    p->m_fatOffset = boot.GetFatStartSector();
    p->m_fatLength = boot.GetSectorsPerFat();
    p->m_numberOfFats = boot.GetNumberOfFat();
    const std::uint64_t capacity = std::uint64_t{boot.GetSectorsPerFat()} * boot.GetBytePerSector() / 4;
    if (raise && capacity > p->m_clusterLimit) {
      p->m_clusterLimit = static_cast<std::uint32_t>(std::min<std::uint64_t>(capacity, 0xFFFFFFF6ull));
    }
  };
  fill(AddCandidate(sector + heapOffset, spc, boot.GetRootDirStartCluster(), boot.GetTotalCluster(),
                    CExFatPartitionEx::kFromBoot),
       sector, true);
  if (sector > 11) {
    fill(AddCandidate(sector - 12 + heapOffset, spc, boot.GetRootDirStartCluster(), boot.GetTotalCluster(),
                      CExFatPartitionEx::kFromBackup),
         sector - 12, false);
  }
}

void CPartitionBuilder::RecordExtendedBoot(std::int64_t sector) {
  if (m_extendedBoot.size() < kMaxRecords) m_extendedBoot.insert(sector);
}

void CPartitionBuilder::PushFileSet(std::unique_ptr<CFileSet> set, std::int64_t last, std::int64_t next) {
  if (set == nullptr) return;
  const std::int64_t first = set->FirstSector();
  if (m_setIndex.count(first) != 0) return;
  if (last >= 0) set->m_last = last;
  if (next >= 0) set->m_next = next;
  for (std::int64_t other : {set->m_last, set->m_next}) {
    auto it = m_setIndex.find(other);
    if (it == m_setIndex.end()) continue;
    CFileSet& o = *m_sets[it->second];
    if (other == set->m_last) o.m_next = first;
    if (other == set->m_next) o.m_last = first;
    set->Narrow(o);
  }
  m_setIndex[first] = m_sets.size();
  m_sets.push_back(std::move(set));
}

const CFileSet* CPartitionBuilder::SetAt(std::int64_t sector) const {
  auto it = m_setIndex.find(sector);
  return it == m_setIndex.end() ? nullptr : m_sets[it->second].get();
}

void CPartitionBuilder::BuildFromRoot(const CFileSet& root) {
  const std::uint64_t clusters = root.BitmapBytes() * 8;
  if (clusters == 0 || clusters > 0xFFFFFFF5ull) return;
  const std::int64_t first = root.FirstSector();
  // The up-case table's first sector pins the cluster size and the heap.
  for (std::int64_t u : m_upcaseSectors) {
    if (u >= first || !IsDataCluster(root.UpcaseCluster())) continue;
    for (std::uint32_t bytes = root.MinClusterBytes(); bytes <= root.MaxClusterBytes() && bytes >= m_sectorSize;
         bytes *= 2) {
      const std::int64_t s = bytes / m_sectorSize;
      const std::int64_t heap = u - s * (root.UpcaseCluster() - 2);
      if (heap < 0 || (first - heap) % s != 0) continue;
      const std::int64_t r = (first - heap) / s + 2;
      if (r < root.RootCluster() || r > 0xFFFFFFF5) continue;
      if (root.HasFile() && r >= root.LowestCluster()) continue;
      if (CExFatPartitionEx* p = AddCandidate(heap, static_cast<std::uint32_t>(s), static_cast<std::uint32_t>(r),
                                              static_cast<std::uint32_t>(clusters), CExFatPartitionEx::kFromRoot)) {
        p->m_evidence += 2;
      }
    }
  }
  // Else every root cluster and cluster size the set allows.
  const std::uint32_t lastRoot = root.HasFile() ? root.LowestCluster() : root.RootCluster() + 1;
  for (std::uint32_t r = root.RootCluster(), n = 0; r < lastRoot && n < kMaxRootTries; ++r, ++n) {
    for (std::uint32_t bytes = root.MinClusterBytes(); bytes <= root.MaxClusterBytes() && bytes >= m_sectorSize;
         bytes *= 2) {
      const std::int64_t s = bytes / m_sectorSize;
      const std::int64_t heap = first - s * (static_cast<std::int64_t>(r) - 2);
      if (heap < 0) break;
      AddCandidate(heap, static_cast<std::uint32_t>(s), r, static_cast<std::uint32_t>(clusters),
                   CExFatPartitionEx::kFromRoot);
    }
  }
}

bool CPartitionBuilder::InsidePartition(const CExFatPartitionEx& p, const CFileSet& set) const {
  const std::int64_t first = set.FirstSector();
  const std::int64_t end =
      p.m_heapStartSector + static_cast<std::int64_t>(std::uint64_t{p.m_clusterCount} * p.m_sectorsPerCluster);
  return first >= p.m_heapStartSector && first < end && set.AllowsClusterBytes(p.m_bytesPerCluster);
}

int CPartitionBuilder::CheckTree(const CExFatPartitionEx& p, std::vector<const CFileSet*>* walked) const {
  const std::int64_t rootSector = p.ConvertClusterNumToSector(p.m_rootCluster);
  const CFileSet* root = SetAt(rootSector);
  if (!IsDataCluster(p.m_rootCluster) || root == nullptr || !InsidePartition(p, *root)) return 0;
  std::unordered_set<std::int64_t> visited{rootSector};
  std::deque<const CFileSet*> queue{root};
  int score = 0;
  while (!queue.empty()) {
    const CFileSet* set = queue.front();
    queue.pop_front();
    if (walked != nullptr) walked->push_back(set);
    std::vector<std::int64_t> targets;
    for (const auto& f : set->Files()) {
      if (f.IsFolder() && IsDataCluster(f.firstCluster) && f.firstCluster < p.m_clusterLimit) {
        targets.push_back(p.ConvertClusterNumToSector(f.firstCluster));
      }
    }
    if (set->m_next >= 0) targets.push_back(set->m_next);
    for (std::int64_t t : targets) {
      if (!visited.insert(t).second) continue;
      const CFileSet* child = SetAt(t);
      if (child == nullptr || !InsidePartition(p, *child)) continue;
      ++score;
      queue.push_back(child);
    }
  }
  return score;
}

void CPartitionBuilder::PlaceStartAndFat(CExFatPartitionEx& p) const {
  if (!p.m_startKnown) {
    // A boot region: sector 0 then eight extended boot sectors; the main
    // region is the one with a backup region 12 sectors later.
    auto isRegion = [&](std::int64_t start) {
      for (std::int64_t k = 1; k <= 8; ++k) {
        if (m_extendedBoot.count(start + k) == 0) return false;
      }
      return true;
    };
    std::int64_t best = -1;
    for (std::int64_t ext : m_extendedBoot) {
      const std::int64_t start = ext - 1;
      if (start < 0 || start + 24 > p.m_heapStartSector || !isRegion(start)) continue;
      if (isRegion(start + 12)) {
        best = start;
        break;
      }
      best = std::max(best, start);
    }
    if (best >= 0) {
      p.m_startSector = best;
      p.m_startKnown = true;
      p.m_totalSectors = static_cast<std::uint64_t>(p.m_heapStartSector - best) +
                         std::uint64_t{p.m_clusterCount} * p.m_sectorsPerCluster;
    }
  }
  if (p.m_fatOffset < 0) {
    const std::uint64_t fatLength = ((std::uint64_t{p.m_clusterCount} + 2) * 4 + m_sectorSize - 1) / m_sectorSize;
    const std::int64_t lowest = p.m_startKnown ? p.m_startSector + 24 : 0;
    for (std::int64_t f : m_fatSectors) {
      if (f >= lowest && f + static_cast<std::int64_t>(fatLength) <= p.m_heapStartSector) {
        p.m_fatOffset = f - p.m_startSector;
        p.m_fatLength = static_cast<std::uint32_t>(fatLength);
        p.m_numberOfFats = 1;
        p.m_flags |= CExFatPartitionEx::kFirstFat;
        break;
      }
    }
  } else {
    for (std::int64_t f : m_fatSectors) {
      if (f == p.m_startSector + p.m_fatOffset) p.m_flags |= CExFatPartitionEx::kFirstFat;
      if (p.m_numberOfFats >= 2 && f == p.m_startSector + p.m_fatOffset + p.m_fatLength) {
        p.m_flags |= CExFatPartitionEx::kSecondFat;
      }
    }
  }
}

void CPartitionBuilder::FinishBuid(IStorageDevice* device) {
  m_owner.clear();
  for (const auto& set : m_sets) {
    if (set->IsRoot()) BuildFromRoot(*set);
  }
  // A candidate whose root cluster holds a folder set outranks one whose does
  // not (a backup boot sector read as the main one lies 12 sectors off).
  std::set<const CFileSet*> explained;
  for (auto& c : m_candidates) {
    std::vector<const CFileSet*> walked;
    c->m_score = CheckTree(*c, &walked);
    if (SetAt(c->ConvertClusterNumToSector(c->m_rootCluster)) != nullptr) c->m_evidence += 1;
    explained.insert(walked.begin(), walked.end());
  }
  BuildHypotheses(explained);
  std::vector<std::unique_ptr<CExFatPartitionEx>> hypotheses;
  for (auto& c : m_candidates) {
    if ((c->m_flags & CExFatPartitionEx::kFromRootOrBoot) == 0) hypotheses.push_back(std::move(c));
  }
  std::erase(m_candidates, nullptr);
  SelectRootedPartitions();
  for (std::size_t k = 0; k < m_finished.size(); ++k) {
    for (const CFileSet* s : SetsOf(*m_finished[k])) m_owner.emplace(s, k);
  }
  WinnowPartition(hypotheses);
  RemovePartionBeCoveredByOther(hypotheses);
  for (auto& h : hypotheses) {
    for (const auto& [sector, level] : h->m_matchMap) {
      if (const CFileSet* s = SetAt(sector)) m_owner[s] = m_finished.size();
    }
    m_finished.push_back(std::move(h));
  }
  for (auto& p : m_finished) {
    PlaceStartAndFat(*p);
    if (p->m_fatOffset >= 0 && p->m_startKnown) {
      p->m_fat.CreateFatTable(device, p->m_startSector + p->m_fatOffset, p->m_fatLength, p->m_clusterCount);
    }
  }
}

void CPartitionBuilder::SelectRootedPartitions() {
  std::stable_sort(m_candidates.begin(), m_candidates.end(), [](const auto& a, const auto& b) {
    if (a->m_score + a->m_evidence != b->m_score + b->m_evidence) {
      return a->m_score + a->m_evidence > b->m_score + b->m_evidence;
    }
    return a->m_flags > b->m_flags;
  });
  for (auto& c : m_candidates) {
    const bool proven = (c->m_flags & CExFatPartitionEx::kFromBoot) != 0 ||
                        ((c->m_flags & CExFatPartitionEx::kFromBackup) != 0 && c->m_score > 0) ||
                        SetAt(c->ConvertClusterNumToSector(c->m_rootCluster)) != nullptr;
    if (!proven) continue;
    const std::int64_t end = c->m_heapStartSector + static_cast<std::int64_t>(c->m_totalSectors);
    bool overlaps = false;
    for (const auto& f : m_finished) {
      const std::int64_t fEnd = f->m_heapStartSector + static_cast<std::int64_t>(f->m_totalSectors);
      overlaps = overlaps || (c->m_heapStartSector < fEnd && f->m_heapStartSector < end);
    }
    if (overlaps) continue;
    if (c->m_score > 0) c->m_flags |= CExFatPartitionEx::kFromTree;
    m_finished.push_back(std::move(c));
  }
  m_candidates.clear();
}

void CPartitionBuilder::BuildFileTree(IStorageDevice* device, std::size_t index, IDirecotryTreeBuilder* builder) {
  if (index >= m_finished.size()) return;
  CExFatPartitionEx& p = *m_finished[index];
  const CFileSet* rootSet =
      IsDataCluster(p.m_rootCluster) ? SetAt(p.ConvertClusterNumToSector(p.m_rootCluster)) : nullptr;
  if (rootSet != nullptr && rootSet->Has(CFileSet::kBitmap)) {
    p.LoadAllocationBitmap(device, rootSet->BitmapCluster(), rootSet->BitmapBytes());
  }
  // Which folder owns each cluster's first sector (-1: the root folder).
  std::unordered_map<std::int64_t, std::int64_t> owner;
  auto own = [&](std::uint32_t first, std::uint64_t bytes, bool contiguous, bool deleted, std::int64_t id) {
    const std::uint64_t clusters =
        std::max<std::uint64_t>(1, (std::min(bytes, kMaxFolderBytes) + p.m_bytesPerCluster - 1) / p.m_bytesPerCluster);
    std::uint32_t c = first;
    for (std::uint64_t i = 0; i < clusters && IsDataCluster(c) && c < p.m_clusterLimit; ++i) {
      if (!owner.emplace(p.ConvertClusterNumToSector(c), id).second && i > 0) break;
      std::uint32_t next = contiguous ? c + 1 : p.GetNextCluster(c, false);
      if (!IsDataCluster(next) && (deleted || !p.m_fat.IsValid())) next = deleted ? c + 1 : de::kEndOfChain;
      c = next;
    }
  };
  own(p.m_rootCluster, kMaxFolderBytes, false, false, -1);
  std::vector<const CFileSet*> sets;
  for (const auto& s : m_sets) {
    auto it = m_owner.find(s.get());
    if (it != m_owner.end() && it->second == index) sets.push_back(s.get());
  }
  for (const CFileSet* s : sets) {
    for (const auto& f : s->Files()) {
      if (f.IsFolder()) {
        own(f.firstCluster, static_cast<std::uint64_t>(f.dataLength), f.noFatChain != 0, f.inUse == 0,
            p.ConvertClusterNumToSector(f.firstCluster));
      }
    }
  }
  std::unordered_map<const CFileSet*, std::int64_t> parents;
  auto parentOf = [&](const CFileSet* s, auto&& self, int depth) -> std::int64_t {
    if (auto it = parents.find(s); it != parents.end()) return it->second;
    const std::int64_t first = s->FirstSector();
    const std::int64_t spc = p.m_sectorsPerCluster;
    const std::int64_t clusterStart = p.m_heapStartSector + (first - p.m_heapStartSector) / spc * spc;
    std::int64_t parent = first;
    if (auto it = owner.find(clusterStart); it != owner.end()) {
      parent = it->second;
    } else if (const CFileSet* before = SetAt(s->m_last); before != nullptr && depth < 64) {
      parent = self(before, self, depth + 1);
    }
    parents[s] = parent;
    return parent;
  };
  for (const CFileSet* s : sets) {
    const std::int64_t parent = parentOf(s, parentOf, 0);
    for (const auto& f : s->Files()) {
      CExFatFileNode* node = p.BuildFile(f);
      node->SetID(f.firstCluster < de::kFirstDataCluster ? 0 : p.ConvertClusterNumToSector(f.firstCluster));
      node->SetParentID(parent);
      node->SetBelongedPartition(static_cast<unsigned short>(index));
      if (builder->AddNode(node, kSearcherExFat) == 0) node->Release();
    }
  }
  p.m_fat.ClearFatData();
}
