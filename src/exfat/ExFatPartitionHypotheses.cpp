// Partitions of the exFAT complete scan that no boot sector or root folder
// places: from the shape of their folder trees (a sub-folder's cluster must
// hold the set that lies there) and from folders written just below their
// files' clusters; then the winnowing of candidates that share file sets.

#include <algorithm>
#include <deque>

#include "exfat/ExFatDirEntryLayout.h"
#include "exfat/ExFatPartitionBuilder.h"

namespace de = exfatde;

namespace {

bool IsDataCluster(std::uint32_t c) { return c >= de::kFirstDataCluster && c <= de::kLastValidCluster; }

// Most sets one tree walk visits.
constexpr std::size_t kMaxWalked = 1 << 16;

}  // namespace

int CPartitionBuilder::CheckTreeFrom(const CFileSet& start, std::int64_t heap, std::uint32_t spc, int minScore,
                                     const std::set<const CFileSet*>* taken,
                                     std::vector<const CFileSet*>& walked) const {
  walked.clear();
  if (spc == 0 || heap < 0 || start.FirstSector() < heap) return 0;
  const std::int64_t s = spc;
  std::set<std::uint32_t> visited{static_cast<std::uint32_t>((start.FirstSector() - heap) / s + 2)};
  std::deque<std::pair<const CFileSet*, int>> queue{{&start, 1}};
  walked.push_back(&start);
  int score = 0;
  const std::uint64_t clusterBytes = std::uint64_t{spc} * m_sectorSize;
  while (!queue.empty()) {
    const auto [set, depth] = queue.front();
    queue.pop_front();
    std::vector<std::uint32_t> folders;
    const CFileSet* part = set;
    for (int n = 0; part != nullptr && n < 64; ++n, part = SetAt(part->m_next)) part->GetFolder(folders);
    for (std::uint32_t c : folders) {
      const std::int64_t sector = heap + static_cast<std::int64_t>(c - 2) * s;
      if (!visited.insert(c).second || sector >= m_totalSectors) return 0;
      const CFileSet* child = SetAt(sector);
      if (child == nullptr) continue;
      const std::int64_t highest =
          heap + static_cast<std::int64_t>(std::max<std::uint32_t>(child->HighestCluster(), 2) - 2) * s;
      if (child->Has(CFileSet::kAbridged) || highest >= m_totalSectors || !child->AllowsClusterBytes(clusterBytes) ||
          (taken != nullptr && taken->count(child) != 0) || walked.size() >= kMaxWalked) {
        return 0;
      }
      walked.push_back(child);
      score += depth;
      if (child->HasFolder()) queue.emplace_back(child, depth + 1);
    }
  }
  if (score < minScore) return 0;
  std::set<std::uint32_t> claimed;
  for (const CFileSet* w : walked) {
    const CFileSet* part = w;
    for (int n = 0; part != nullptr && n < 64; ++n, part = SetAt(part->m_next)) {
      if (!part->GetAndCheckClusterSet(claimed, static_cast<std::uint32_t>(clusterBytes))) return 0;
    }
  }
  return score;
}

// Tries `b` as the content of each sub-folder of `a`; keeps the hypotheses
// with the best score (at least `best`).
void CPartitionBuilder::BuildFromTree(const CFileSet& a, const CFileSet& b, int minScore, int& best,
                                      std::vector<Hypothesis>& out) const {
  std::vector<std::uint32_t> folders;
  a.GetFolder(folders);
  const std::int64_t distance = std::abs(b.FirstSector() - a.FirstSector());
  std::vector<const CFileSet*> walked;
  for (std::uint64_t bytes = a.MinClusterBytes(); bytes <= a.MaxClusterBytes() && bytes >= m_sectorSize; bytes *= 2) {
    const std::int64_t s = static_cast<std::int64_t>(bytes / m_sectorSize);
    if (!b.AllowsClusterBytes(bytes) || a.Length() > s) continue;
    if (distance % s != 0) break;
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
      const std::uint32_t c = *it;
      if (c > b.HighestCluster()) continue;
      const std::int64_t heap = b.FirstSector() - s * (static_cast<std::int64_t>(c) - 2);
      if (heap < 0 || a.FirstSector() < heap + 3 * s) continue;
      if ((a.FirstSector() - heap) / s + 2 > a.HighestCluster()) continue;
      if (++m_treeTrials > kMaxTreeTrials) return;
      const int score = CheckTreeFrom(a, heap, static_cast<std::uint32_t>(s), minScore, nullptr, walked);
      if (score == 0 || score < best) continue;
      if (score > best) out.clear();
      best = score;
      out.push_back({heap, static_cast<std::uint32_t>(s), walked});
    }
  }
}

CExFatPartitionEx* CPartitionBuilder::AddHypothesis(std::int64_t heap, std::uint32_t spc, std::uint32_t flags,
                                                    const std::vector<const CFileSet*>& sets) {
  CExFatPartitionEx* p = FindCandidate(heap, spc);
  if (p == nullptr && m_candidates.size() >= kMaxCandidates) SpillPartition();
  if (p == nullptr) {
    const std::int64_t rest = heap < m_totalSectors ? (m_totalSectors - heap) / spc : 0;
    p = AddCandidate(heap, spc, 0, static_cast<std::uint32_t>(std::min<std::int64_t>(rest, de::kLastValidCluster - 1)),
                     flags);
    if (p == nullptr) return nullptr;
  }
  p->m_flags |= flags;
  for (const CFileSet* s : sets) {
    if (std::find(p->m_matched.begin(), p->m_matched.end(), s) == p->m_matched.end()) p->m_matched.push_back(s);
  }
  return p;
}

void CPartitionBuilder::SpillPartition() {
  std::erase_if(m_candidates, [](const auto& c) {
    return (c->m_flags & CExFatPartitionEx::kFromRootOrBoot) == 0 && c->m_matched.size() <= 1;
  });
}

// The set lies in the cluster just below its lowest file's.
void CPartitionBuilder::BuildFromAllocBackWard(const CFileSet& set) {
  if (!IsDataCluster(set.LowestCluster()) || set.LowestCluster() < 3) return;
  for (std::uint64_t bytes = set.MinClusterBytes(); bytes <= set.MaxClusterBytes() && bytes >= m_sectorSize;
       bytes *= 2) {
    const std::int64_t s = static_cast<std::int64_t>(bytes / m_sectorSize);
    if (set.Length() > s) continue;
    const std::int64_t heap = set.FirstSector() - s * (static_cast<std::int64_t>(set.LowestCluster()) - 3);
    if (heap < 0 || heap + s * (static_cast<std::int64_t>(set.HighestCluster()) - 2) >= m_totalSectors) break;
    const bool known = FindCandidate(heap, static_cast<std::uint32_t>(s)) != nullptr;
    AddHypothesis(heap, static_cast<std::uint32_t>(s), CExFatPartitionEx::kFromAllocBackward, {&set});
    if (known) return;
  }
}

void CPartitionBuilder::BuildHypotheses(const std::set<const CFileSet*>& explainedByRoots) {
  std::set<const CFileSet*> explained = explainedByRoots;
  const auto eligible = [](const CFileSet& s) { return !s.IsRoot() && !s.Has(CFileSet::kAbridged) && s.HasFolder(); };
  const auto trees = [&](std::size_t before, std::size_t after, int minScore) {
    for (std::size_t i = 0; i < m_sets.size(); ++i) {
      const CFileSet& a = *m_sets[i];
      if (!eligible(a) || explained.count(&a) != 0) continue;
      int best = 5;
      std::vector<Hypothesis> found;
      const std::size_t from = i > before ? i - before : 0;
      for (std::size_t j = from; j < m_sets.size() && j <= i + after; ++j) {
        if (j != i && eligible(*m_sets[j])) BuildFromTree(a, *m_sets[j], minScore, best, found);
      }
      for (const Hypothesis& h : found) {
        AddHypothesis(h.heap, h.spc, CExFatPartitionEx::kFromTree, h.walked);
        explained.insert(h.walked.begin(), h.walked.end());
      }
    }
  };
  trees(kTreeNeighboursBefore, kTreeNeighboursAfter, kTreeMinScore);
  for (const auto& set : m_sets) {
    if (explained.count(set.get()) == 0 && !set->IsRoot() && !set->Has(CFileSet::kAbridged))
      BuildFromAllocBackWard(*set);
  }
  trees(8, 7, kTreeMinScoreLate);
}

std::set<const CFileSet*> CPartitionBuilder::SetsOf(const CExFatPartitionEx& p) const {
  std::set<const CFileSet*> out;
  for (const auto& s : m_sets) {
    if (InsidePartition(p, *s)) out.insert(s.get());
  }
  return out;
}

void CPartitionBuilder::TakeSetsInside(CExFatPartitionEx& p, std::set<const CFileSet*>& taken) const {
  const std::int64_t s = p.m_sectorsPerCluster;
  const std::int64_t end = p.m_heapStartSector + static_cast<std::int64_t>(p.m_totalSectors);
  const std::uint32_t clusterBytes = p.m_bytesPerCluster;
  std::vector<const CFileSet*> walked;
  for (const auto& owned : m_sets) {
    const CFileSet& set = *owned;
    const std::int64_t first = set.FirstSector();
    if (taken.count(&set) != 0 || set.IsRoot() || set.Has(CFileSet::kAbridged) || first < p.m_heapStartSector + 2 * s ||
        first + set.Length() > end || (first - p.m_heapStartSector) % s != 0 || !set.AllowsClusterBytes(clusterBytes)) {
      continue;
    }
    if (CheckTreeFrom(set, p.m_heapStartSector, p.m_sectorsPerCluster, 1, &taken, walked) > 0) {
      for (std::size_t level = 0; level < walked.size(); ++level) {
        if (taken.insert(walked[level]).second) p.m_matchMap[walked[level]->FirstSector()] = level == 0 ? 1 : 2;
      }
      continue;
    }
    std::set<std::uint32_t> claimed;
    const std::int64_t own = (first - p.m_heapStartSector) / s + 2;
    if (set.GetAndCheckClusterSet(claimed, clusterBytes) && own + 1 == set.LowestCluster()) {
      taken.insert(&set);
      p.m_matchMap[first] = 1;
    }
  }
  // Runs that continue a taken set belong with it.
  for (const auto& owned : m_sets) {
    const CFileSet* before = SetAt(owned->m_last);
    if (before != nullptr && taken.count(before) != 0 && p.m_matchMap.count(before->FirstSector()) != 0 &&
        taken.insert(owned.get()).second) {
      p.m_matchMap[owned->FirstSector()] = 1;
    }
  }
}

void CPartitionBuilder::WinnowPartition(std::vector<std::unique_ptr<CExFatPartitionEx>>& hypotheses) {
  std::stable_sort(hypotheses.begin(), hypotheses.end(), [](const auto& a, const auto& b) {
    if (a->m_flags != b->m_flags) return a->m_flags > b->m_flags;
    return a->m_matched.size() > b->m_matched.size();
  });
  std::set<const CFileSet*> taken;
  for (const auto& [set, owner] : m_owner) taken.insert(set);
  std::vector<std::unique_ptr<CExFatPartitionEx>> kept;
  for (auto& c : hypotheses) {
    const bool lost =
        std::any_of(c->m_matched.begin(), c->m_matched.end(), [&](const CFileSet* s) { return taken.count(s) != 0; });
    if (lost) continue;
    TakeSetsInside(*c, taken);
    if (!c->m_matchMap.empty()) kept.push_back(std::move(c));
  }
  hypotheses = std::move(kept);
}

// A candidate whose every file set a better one holds at no lower level goes.
void CPartitionBuilder::RemovePartionBeCoveredByOther(std::vector<std::unique_ptr<CExFatPartitionEx>>& winnowed) {
  for (std::size_t i = 0; i < winnowed.size(); ++i) {
    const auto& better = winnowed[i]->m_matchMap;
    for (std::size_t j = i + 1; j < winnowed.size();) {
      const auto& other = winnowed[j]->m_matchMap;
      const bool covered =
          other.size() <= better.size() && std::all_of(other.begin(), other.end(), [&](const auto& entry) {
            auto it = better.find(entry.first);
            return it != better.end() && it->second >= entry.second;
          });
      if (covered) {
        winnowed.erase(winnowed.begin() + static_cast<std::ptrdiff_t>(j));
      } else {
        ++j;
      }
    }
  }
}
