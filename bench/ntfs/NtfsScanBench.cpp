// Complete scan of a disk image for NTFS volumes: time, sweep rate, nodes and
// peak resident memory (getrusage). Make the image with
// make-ntfs-bench-image.sh. Modes:
//   searcher  the NTFS complete searcher alone, block by block as the core's
//             sweep calls it; nodes are counted and released at once
//   ntfs      the core's whole-disk controller with the NTFS engine only; the
//             core's tree builder keeps every node
//   all       the same controller with every engine, as quarnel-cli --disk
// quarnel_ntfs_scan_bench IMAGE [searcher|ntfs|all]
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "core/controller/RecoveryController.h"
#include "core/device/DiskDevice.h"
#include "core/filetype/RecoveryFilter.h"
#include "core/model/Contracts.h"
#include "engines/RegisterAllEngines.h"
#include "ntfs/NtfsEngine.h"
#include "ntfs/NtfsSearchController.h"

namespace {

long PeakKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

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

class Progress : public IProgress {
 public:
  void UpdateProgress(_PROGRESS_INFO*) override {}
  int Continued() override { return 1; }
  int shouldBuild() override { return 1; }
};

// Counts what the tree builder shows.
class CountingTree : public IDrirectoryTree {
 public:
  void ShowNodes(IFileNode**, unsigned int count, int) override { m_shown += count; }
  void ShowFilesystemNode(IFilesystemNode*) override { ++m_roots; }
  long m_shown = 0;
  long m_roots = 0;
};

int RunSearcher(IStorageDevice& disk) {
  CountingBuilder builder;
  CNTFSSearchController search;
  const long long block = (4 << 20) / disk.GetSectorSize();
  search.SetDevice(&disk);
  search.SetBlockSize(static_cast<int>(block));
  search.SetDirecotryTreeBuilder(&builder);
  search.PreparetoSearch();
  const long long total = disk.GetTotalSectors();
  const auto start = std::chrono::steady_clock::now();
  for (long long s = 0; s < total; s += block) search.AnalyzeBlock(s, std::min(block, total - s));
  const double sweep = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const long sweepPeak = PeakKiB();
  search.EndSearch(1);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  CSearchedPartitionInfo* records[16] = {};
  const int n = search.GetSearchedPartitionInfo(records, 16);
  const double mib = static_cast<double>(total) * disk.GetSectorSize() / (1 << 20);
  std::printf("sweep: %.0f MiB in %.2f s = %.0f MiB/s, peak after the sweep %ld KiB\n", mib, sweep, mib / sweep,
              sweepPeak);
  std::printf("whole search %.2f s, nodes %ld (deleted %ld), partitions %d\n", seconds, builder.m_nodes,
              builder.m_deleted, n);
  for (int i = 0; i < n && i < 16; ++i) {
    std::printf("  partition %d: cluster base %lld spc %d total %lld\n", i, records[i]->m_llClusterBaseSector,
                records[i]->m_iSectorsPerCluster, records[i]->GetTotalSectors());
    delete records[i];
  }
  return 0;
}

int RunController(IStorageDevice& disk, bool all) {
  if (all) {
    RegisterAllEngines();
  } else {
    RegisterNtfsEngine();
  }
  IRecoveryFilter* filter = CreateFilter();
  filter->SetScanType(kScanComplete);
  filter->SetFilterTypes(kFilterAll);
  IRecoveryController* controller = CreateRecoveryController(kControllerWholeDisk);
  controller->Initialize(filter);
  Progress progress;
  CountingTree tree;
  const auto start = std::chrono::steady_clock::now();
  const RESULT r = controller->StartDataRecovery(&disk, &progress, &tree);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double mib = static_cast<double>(disk.GetTotalSectors()) * disk.GetSectorSize() / (1 << 20);
  std::printf("controller: result %llx, %.0f MiB in %.2f s = %.0f MiB/s, nodes shown %ld, trees %ld\n",
              static_cast<unsigned long long>(r), mib, seconds, mib / seconds, tree.m_shown, tree.m_roots);
  controller->Release();
  return r == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 2 ? argv[2] : "ntfs";
  if (argc < 2 || argc > 3 || (mode != "searcher" && mode != "ntfs" && mode != "all")) {
    std::fprintf(stderr, "usage: %s IMAGE [searcher|ntfs|all]\n", argv[0]);
    return 2;
  }
  std::unique_ptr<CDiskDevice> disk(CreateDiskDevice(argv[1]));
  if (disk->Open(nullptr) == 0) {
    std::fprintf(stderr, "%s: cannot open\n", argv[1]);
    return 1;
  }
  const long before = PeakKiB();
  const int status = mode == "searcher" ? RunSearcher(*disk) : RunController(*disk, mode == "all");
  std::printf("peak resident memory: %ld KiB (%ld KiB before the scan)\n", PeakKiB(), before);
  return status;
}
