#pragma once
// Candidate exFAT partitions of the complete scan, from boot sectors and from
// found root folders (by their up-case table and cluster shapes), scored by
// the folder trees they explain; and the nodes of the partitions kept.

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "core/model/Contracts.h"
#include "exfat/ExFatFileSet.h"
#include "exfat/ExFatPartition.h"
#include "exfat/ExFatBootSector.h"

class IStorageDevice;

class CExFatPartitionEx : public CExFatPartition {
 public:
  static constexpr std::uint32_t kFromBoot = 0x80000000;
  static constexpr std::uint32_t kFromBackup = 0x40000000;
  static constexpr std::uint32_t kFromRoot = 0x10000000;
  static constexpr std::uint32_t kFromTree = 0x08000000;
  static constexpr std::uint32_t kFromAllocBackward = 0x02000000;
  static constexpr std::uint32_t kFromRootOrBoot = kFromBoot | kFromBackup | kFromRoot;
  static constexpr std::uint32_t kFirstFat = 0x00000001;
  static constexpr std::uint32_t kSecondFat = 0x00000002;

  std::uint32_t m_flags = 0;
  std::uint32_t m_numberOfFats = 0;
  std::uint32_t m_fatLength = 0;
  std::int64_t m_fatOffset = -1;  // from the start; -1 unknown
  std::uint32_t m_clusterCount = 0;
  bool m_startKnown = false;
  int m_score = 0;  // sets of the folder tree its root explains
  int m_evidence = 0;
  // Sets that a folder-tree or allocation hypothesis explains, and the
  // file sets it holds after winnowing: first sector -> level.
  std::vector<const CFileSet*> m_matched;
  std::map<std::int64_t, std::uint32_t> m_matchMap;
};

class CPartitionBuilder {
 public:
  void PrepareBuild(std::uint32_t sectorSize, std::int64_t totalSectors);
  void Build(std::int64_t sector, const CExFatDBR& boot);
  void RecordFAT(std::int64_t sector) {
    if (m_fatSectors.size() < kMaxRecords) m_fatSectors.push_back(sector);
  }
  void RecordUpCaseTable(std::int64_t sector) {
    if (m_upcaseSectors.size() < kMaxRecords) m_upcaseSectors.push_back(sector);
  }
  void RecordExtendedBoot(std::int64_t sector);
  void PushFileSet(std::unique_ptr<CFileSet> set, std::int64_t last, std::int64_t next);
  // Chooses the partitions; they stay the builder's.
  void FinishBuid(IStorageDevice* device);
  // Hands the nodes of partition `index` to the builder.
  void BuildFileTree(IStorageDevice* device, std::size_t index, IDirecotryTreeBuilder* builder);
  const std::vector<std::unique_ptr<CExFatPartitionEx>>& Partitions() const { return m_finished; }
  std::size_t SetCount() const { return m_sets.size(); }
  void Clear();

  // Most neighbours a folder set is tried against as the content of one of
  // its sub-folders, before and after it.
  static constexpr std::size_t kTreeNeighboursBefore = 32;
  static constexpr std::size_t kTreeNeighboursAfter = 128;
  static constexpr int kTreeMinScore = 7;
  static constexpr int kTreeMinScoreLate = 3;
  // Tree walks tried in all; past it sets are placed only by their files.
  static constexpr std::size_t kMaxTreeTrials = 1 << 18;

 private:
  struct Hypothesis {
    std::int64_t heap;
    std::uint32_t spc;
    std::vector<const CFileSet*> walked;
  };
  static constexpr std::size_t kMaxRecords = 1 << 16;
  static constexpr std::size_t kMaxCandidates = 1024;

  CExFatPartitionEx* FindCandidate(std::int64_t heap, std::uint32_t spc);
  CExFatPartitionEx* AddCandidate(std::int64_t heap, std::uint32_t spc, std::uint32_t root, std::uint32_t clusters,
                                  std::uint32_t flags);
  void BuildFromRoot(const CFileSet& root);
  int CheckTree(const CExFatPartitionEx& p, std::vector<const CFileSet*>* walked) const;
  const CFileSet* SetAt(std::int64_t sector) const;
  // Folder trees and allocation shapes of the sets no root explains.
  void BuildHypotheses(const std::set<const CFileSet*>& explained);
  void BuildFromTree(const CFileSet& a, const CFileSet& b, int minScore, int& best, std::vector<Hypothesis>& out) const;
  // Depth-weighted count of the sets below `start` under the heap and size;
  // 0 below `minScore`, on a loop, or when two files claim one cluster.
  int CheckTreeFrom(const CFileSet& start, std::int64_t heap, std::uint32_t spc, int minScore,
                    const std::set<const CFileSet*>* taken, std::vector<const CFileSet*>& walked) const;
  void BuildFromAllocBackWard(const CFileSet& set);
  // Makes room for new candidates: drops those a single set suggested.
  void SpillPartition();
  CExFatPartitionEx* AddHypothesis(std::int64_t heap, std::uint32_t spc, std::uint32_t flags,
                                   const std::vector<const CFileSet*>& sets);
  // Best first; a candidate sharing a set with a better one goes, the others
  // take the sets inside them.
  void WinnowPartition(std::vector<std::unique_ptr<CExFatPartitionEx>>& hypotheses);
  void TakeSetsInside(CExFatPartitionEx& p, std::set<const CFileSet*>& taken) const;
  // Boot and root candidates, best first, none overlapping a better one.
  void SelectRootedPartitions();
  void RemovePartionBeCoveredByOther(std::vector<std::unique_ptr<CExFatPartitionEx>>& winnowed);
  std::set<const CFileSet*> SetsOf(const CExFatPartitionEx& p) const;
  void PlaceStartAndFat(CExFatPartitionEx& p) const;
  bool InsidePartition(const CExFatPartitionEx& p, const CFileSet& set) const;

  std::uint32_t m_sectorSize = 512;
  std::int64_t m_totalSectors = 0;
  std::vector<std::unique_ptr<CFileSet>> m_sets;  // ascending first sector
  std::map<std::int64_t, std::size_t> m_setIndex;
  std::vector<std::unique_ptr<CExFatPartitionEx>> m_candidates;
  std::vector<std::unique_ptr<CExFatPartitionEx>> m_finished;
  std::vector<std::int64_t> m_fatSectors;
  std::vector<std::int64_t> m_upcaseSectors;
  std::set<std::int64_t> m_extendedBoot;
  // The partition each set was given to, for partitions made without a root.
  std::map<const CFileSet*, std::size_t> m_owner;
  mutable std::size_t m_treeTrials = 0;
};
