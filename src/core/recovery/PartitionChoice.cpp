#include "core/recovery/PartitionChoice.h"

#include "core/model/FileNode.h"
#include "core/model/SearchedPartitionInfo.h"

namespace {

struct RunSummary {
  bool hasList = false;
  std::vector<DataRun> runs;
  long long clusters = 0;
};

RunSummary Summarise(CFileNode& node) {
  RunSummary s;
  IDataRunList* list = node.GetDataRunList();
  if (list == nullptr) return s;
  s.hasList = true;
  for (const DataRun* r = list->GetFirst(); r != nullptr; r = list->GetNext()) {
    s.runs.push_back(*r);
    if (r->length > 0 && !__builtin_add_overflow(s.clusters, r->length, &s.clusters)) continue;
    if (r->length > 0) s.clusters = -1;  // overflow: no fit
  }
  return s;
}

bool RangeHolds(const CSearchedPartitionInfo& p, long long metadataSector) {
  long long end = 0;
  if (__builtin_add_overflow(p.m_llStartSector, p.GetTotalSectors(), &end)) return false;
  return p.m_llStartSector < metadataSector && metadataSector < end;
}

bool RunsInside(const CSearchedPartitionInfo& p, const RunSummary& s) {
  const long long spc = p.m_iSectorsPerCluster;
  long long end = 0;
  if (__builtin_add_overflow(p.m_llStartSector, p.GetTotalSectors(), &end)) return false;
  for (const DataRun& r : s.runs) {
    if (r.start < 0) continue;  // sparse runs have no place
    long long first = 0;
    long long stop = 0;
    long long last = 0;
    if (__builtin_mul_overflow(spc, r.start, &first) || __builtin_add_overflow(r.start, r.length, &stop) ||
        __builtin_mul_overflow(spc, stop, &last)) {
      return false;
    }
    if (first < p.m_llStartSector || last - 1 > end) return false;
  }
  return true;
}

bool ClusterSizeFits(const CSearchedPartitionInfo& p, long long fileSize, long long clusters) {
  if (clusters < 0) return false;
  if (clusters < 2) return true;
  const long long perCluster = 512LL * clusters;
  long long g = fileSize / perCluster;
  if (fileSize % perCluster != 0) ++g;
  if (g < 2) return false;
  for (long long m = 2; m <= (1LL << 24); m <<= 1) {
    if (m >= g) return p.m_iSectorsPerCluster == m;
  }
  return false;
}

}  // namespace

CSearchedPartitionInfo* GetNodePartition(const std::vector<CSearchedPartitionInfo*>& partitions, CFileNode* node) {
  if (node == nullptr || partitions.empty()) return nullptr;
  if (partitions.size() == 1) return partitions.front();

  const unsigned index = node->GetBelongedPartition();
  for (CSearchedPartitionInfo* p : partitions) {
    if (p != nullptr && p->m_u16PartitionIndex == index) return p;
  }

  const RunSummary runs = Summarise(*node);
  if (runs.hasList) {
    const long long metadata = node->GetMetadataStartPosition();
    const long long fileSize = node->GetFileSize();
    for (CSearchedPartitionInfo* p : partitions) {
      if (p == nullptr) continue;
      if (RangeHolds(*p, metadata) && RunsInside(*p, runs) && p->m_iSectorsPerCluster % 2 == 0 &&
          ClusterSizeFits(*p, fileSize, runs.clusters)) {
        return p;
      }
    }
  }
  return partitions.front();
}
