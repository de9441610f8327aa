// Complete-scan sweep rate against a plain sequential read of the same file.
//
//   quarnel_sweep_bench [image] [--size-mib N] [--rounds N] [--work]
//
// Without an image, a file of N MiB (2048 by default) of non-zero data is
// made beside the program. Each round reads the file with pread in 4 MiB
// pieces, then runs a complete scan over it with one registered searcher
// that does nothing (or, with --work, sums every word of each block read
// through the cache). As root the page cache is dropped before each cold
// run; warm runs follow.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/controller/RecoveryController.h"
#include "core/device/DiskDevice.h"
#include "core/engines/EngineRegistry.h"
#include "support/FakeSinks.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kPiece = 4 << 20;
bool g_work = false;
std::uint64_t g_sink = 0;

class NoOpSearcher : public ICompleteFileSystemSearchController {
 public:
  void SetDirecotryTreeBuilder(IDirecotryTreeBuilder*) override {}
  int GetSearchedPartitionInfo(CSearchedPartitionInfo**, int) override { return 0; }
  void SetDevice(IStorageDevice* device) override { m_device = device; }
  void SetBlockSize(int sectors) override { m_buffer.resize(static_cast<std::size_t>(sectors) * 4096); }
  int PreparetoSearch() override { return 1; }
  int AnalyzeBlock(long long start, long long count) override {
    if (!g_work) return 1;
    const std::size_t bytes = static_cast<std::size_t>(count) * static_cast<std::size_t>(m_device->GetSectorSize());
    if (bytes > m_buffer.size()) m_buffer.resize(bytes);
    if (m_device->ReadSector(m_buffer.data(), start, count) == 0) return 0;
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i + 8 <= bytes; i += 8) {
      std::uint64_t w;
      std::memcpy(&w, m_buffer.data() + i, 8);
      sum += w * 0x9E3779B97F4A7C15ull;
    }
    g_sink += sum;
    return 1;
  }

 private:
  IStorageDevice* m_device = nullptr;
  std::vector<std::uint8_t> m_buffer;
};

ICompleteFileSystemSearchController* MakeNoOp() { return new NoOpSearcher(); }

// Times the sweep itself: from its first report to its last block.
class TimingProgress : public IProgress {
 public:
  void UpdateProgress(_PROGRESS_INFO* info) override {
    if (info->state == kProgressFirstSweep) m_sweepStart = Clock::now();
    if (info->state == kProgressRunning && info->total > 1) m_sweepEnd = Clock::now();
  }
  int Continued() override { return 1; }
  int shouldBuild() override { return 1; }
  double SweepSeconds() const { return std::chrono::duration<double>(m_sweepEnd - m_sweepStart).count(); }

 private:
  Clock::time_point m_sweepStart{}, m_sweepEnd{};
};

bool DropCaches() {
  ::sync();
  FILE* f = std::fopen("/proc/sys/vm/drop_caches", "w");
  if (f == nullptr) return false;
  const bool ok = std::fputs("3\n", f) >= 0;
  return std::fclose(f) == 0 && ok;
}

bool MakeImage(const std::string& path, std::uint64_t bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  std::vector<std::uint8_t> piece(kPiece);
  bool ok = true;
  for (std::uint64_t off = 0; ok && off < bytes; off += kPiece) {
    for (std::size_t i = 0; i < piece.size(); i += 8) {
      const std::uint64_t w = (off + i) * 0x9E3779B97F4A7C15ull + 1;
      std::memcpy(piece.data() + i, &w, 8);
    }
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, bytes - off));
    ok = ::pwrite(fd, piece.data(), n, static_cast<off_t>(off)) == static_cast<ssize_t>(n);
  }
  ok = ::fsync(fd) == 0 && ok;
  ::close(fd);
  return ok;
}

double PlainRead(const std::string& path, std::uint64_t& bytes) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  std::vector<std::uint8_t> buf(kPiece);
  bytes = 0;
  const auto t0 = Clock::now();
  for (;;) {
    const ssize_t n = ::pread(fd, buf.data(), buf.size(), static_cast<off_t>(bytes));
    if (n <= 0) break;
    if (g_work) {
      std::uint64_t sum = 0;
      for (ssize_t i = 0; i + 8 <= n; i += 8) {
        std::uint64_t w;
        std::memcpy(&w, buf.data() + i, 8);
        sum += w * 0x9E3779B97F4A7C15ull;
      }
      g_sink += sum;
    }
    bytes += static_cast<std::uint64_t>(n);
  }
  const double s = std::chrono::duration<double>(Clock::now() - t0).count();
  ::close(fd);
  return s;
}

struct SweepTimes {
  double total = -1;
  double sweep = -1;
};

SweepTimes Sweep(const std::string& path) {
  std::unique_ptr<CDiskDevice> disk(CreateDiskDevice(path.c_str()));
  if (disk->Open(nullptr) == 0) return {};
  testsupport::AcceptAllFilter filter;
  testsupport::NullTree tree;
  TimingProgress progress;
  IRecoveryController* c = CreateRecoveryController(kControllerComplete);
  c->Initialize(&filter);
  const auto t0 = Clock::now();
  const RESULT r = c->StartDataRecovery(disk.get(), &progress, &tree);
  SweepTimes t;
  t.total = std::chrono::duration<double>(Clock::now() - t0).count();
  t.sweep = progress.SweepSeconds();
  c->Release();
  if (r != 0) std::fprintf(stderr, "scan failed: 0x%016" PRIx64 "\n", r.value);
  return t;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  std::string path;
  std::uint64_t sizeMib = 2048;
  int rounds = 3;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--size-mib" && i + 1 < argc) {
      sizeMib = std::strtoull(argv[++i], nullptr, 10);
    } else if (a == "--rounds" && i + 1 < argc) {
      rounds = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--work") {
      g_work = true;
    } else {
      path = a;
    }
  }
  bool made = false;
  if (path.empty()) {
    path = "sweep-bench.img";
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || static_cast<std::uint64_t>(st.st_size) != sizeMib << 20) {
      std::printf("making %s (%" PRIu64 " MiB)\n", path.c_str(), sizeMib);
      if (!MakeImage(path, sizeMib << 20)) {
        std::fprintf(stderr, "cannot make %s\n", path.c_str());
        return 1;
      }
      made = true;
    }
  }
  engine_registry::Clear();
  engine_registry::RegisterCompleteSearcher(kSearcherRawByType, &MakeNoOp);

  const bool canDrop = DropCaches();
  std::printf("file %s, searcher %s, %s\n", path.c_str(), g_work ? "summing every word" : "no-op",
              canDrop ? "cold runs after drop_caches" : "not root: warm runs only");

  std::vector<double> coldPlain, coldSweep, coldTotal, warmPlain, warmSweep, warmTotal;
  std::uint64_t bytes = 0;
  for (int r = 0; r < rounds; ++r) {
    if (canDrop) {
      DropCaches();
      coldPlain.push_back(PlainRead(path, bytes));
      DropCaches();
      const SweepTimes t = Sweep(path);
      coldSweep.push_back(t.sweep);
      coldTotal.push_back(t.total);
    }
    PlainRead(path, bytes);  // make it warm
    warmPlain.push_back(PlainRead(path, bytes));
    const SweepTimes t = Sweep(path);
    warmSweep.push_back(t.sweep);
    warmTotal.push_back(t.total);
  }
  const double mb = static_cast<double>(bytes) / 1e6;
  auto line = [&](const char* what, const std::vector<double>& plain, const std::vector<double>& sweep,
                  const std::vector<double>& total) {
    if (plain.empty()) return;
    // The first queue of blocks is read before the sweep's first report.
    const double queued = 10.0 * kPiece / 1e6;
    const double p = mb / Median(plain), s = (mb - queued) / Median(sweep), t = mb / Median(total);
    std::printf("%-5s plain pread %8.0f MB/s | sweep %8.0f MB/s (%5.1f %%) | whole scan %8.0f MB/s (%5.1f %%)\n", what,
                p, s, 100.0 * s / p, t, 100.0 * t / p);
  };
  std::printf("%.0f MB, median of %d rounds\n", mb, rounds);
  line("cold", coldPlain, coldSweep, coldTotal);
  line("warm", warmPlain, warmSweep, warmTotal);
  if (made) std::printf("(kept %s for later runs)\n", path.c_str());
  return g_sink == 42 ? 2 : 0;
}
