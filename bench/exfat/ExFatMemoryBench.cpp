// Runs the exFAT complete searcher over an image file, block by block as the
// core's sweep does, and prints the time, the partitions and the peak
// resident memory (getrusage).
//   quarnel_exfat_memory_bench IMAGE
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <memory>

#include "core/device/DiskDevice.h"
#include "core/model/Contracts.h"
#include "exfat/ExFatCompleteSearch.h"

namespace {

class CountingBuilder : public IDirecotryTreeBuilder {
 public:
  int Initialize(const char*, IDrirectoryTree*, IRecoveryFilter*) override { return 1; }
  int AddNode(IFileNode* node, _tagSearcherType) override {
    ++m_nodes;
    if (node->IsDeleted()) ++m_deleted;
    node->Release();
    return 1;
  }
  int AddSearcherInfo(_tagSearcherType, long long) override { return 1; }
  void FlashBuild(_tagSearcherType) override {}
  void Release() override {}
  void SetPartitonDevice(CSearchedPartitionInfo*, IStorageDevice*) override {}
  long m_nodes = 0;
  long m_deleted = 0;
};

long PeakKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s IMAGE\n", argv[0]);
    return 2;
  }
  std::unique_ptr<CDiskDevice> disk(CreateDiskDevice(argv[1]));
  if (disk->Open(nullptr) == 0) return 1;
  const long before = PeakKiB();
  const auto start = std::chrono::steady_clock::now();
  CountingBuilder builder;
  CExFatCompleteSearch search;
  const long long block = (4 << 20) / disk->GetSectorSize();
  search.SetDevice(disk.get());
  search.SetBlockSize(static_cast<int>(block));
  search.SetDirecotryTreeBuilder(&builder);
  search.PreparetoSearch();
  const long long total = disk->GetTotalSectors();
  for (long long s = 0; s < total; s += block) search.AnalyzeBlock(s, std::min(block, total - s));
  const std::size_t sets = search.FileSetCount();
  search.EndSearch(1);
  CSearchedPartitionInfo* records[16] = {};
  const int n = search.GetSearchedPartitionInfo(records, 16);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("sectors %lld, %.2f s, file sets %zu, nodes %ld (deleted %ld), partitions %d\n", total, seconds, sets,
              builder.m_nodes, builder.m_deleted, n);
  for (int i = 0; i < n && i < 16; ++i) {
    std::printf("  partition %d: start %lld heap %lld spc %d total %lld\n", i, records[i]->m_llStartSector,
                records[i]->m_llClusterBaseSector, records[i]->m_iSectorsPerCluster, records[i]->GetTotalSectors());
    delete records[i];
  }
  std::printf("peak resident memory: %ld KiB (%ld KiB before the scan)\n", PeakKiB(), before);
  return 0;
}
