// Peak memory and sweep rate of the HFS+ complete scan.
//
//   quarnel_hfsplus_scan_bench make IMAGE [--files N] [--disk-mib M] [--gpt] [--zap-header]
//   quarnel_hfsplus_scan_bench scan IMAGE [--volume-record]
//   quarnel_hfsplus_scan_bench read IMAGE
//
// make: an HFS+ volume of N small files (50,000 by default) at sector 2048
// of a sparse disk of M MiB (4096 by default), optionally with a GPT table
// (sgdisk) or with its main header zeroed. scan: a whole-disk complete scan
// with only the HFS+ searcher registered; prints the time of the whole scan,
// of the sweep, the nodes shown and the peak resident size (ru_maxrss). read:
// a plain sequential pread of the image in 4 MiB pieces. Run scan and read in
// separate processes so that each peak is its own.

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/controller/RecoveryController.h"
#include "core/device/DeviceData.h"
#include "core/device/DiskDevice.h"
#include "core/engines/EngineRegistry.h"
#include "core/filetype/RecoveryFilter.h"
#include "hfsplus/HfsPlusEngine.h"
#include "hfsplus_builder/HfsPlusImageBuilder.h"

namespace {

using Clock = std::chrono::steady_clock;

long PeakKiB() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

class CountingTree : public IDrirectoryTree {
 public:
  void ShowNodes(IFileNode**, unsigned int count, int) override { nodes += count; }
  void ShowFilesystemNode(IFilesystemNode*) override {}
  std::uint64_t nodes = 0;
};

class TimingProgress : public IProgress {
 public:
  void UpdateProgress(_PROGRESS_INFO* info) override {
    if (info->state == kProgressFirstSweep) sweepStart = Clock::now();
    if (info->state == kProgressRunning) sweepEnd = Clock::now();
  }
  int Continued() override { return 1; }
  int shouldBuild() override { return 1; }
  Clock::time_point sweepStart{}, sweepEnd{};
};

int Make(const std::string& path, int files, long long diskMiB, bool gpt, bool zapHeader) {
  hfsbuilder::BuilderOptions o;
  o.journaled = true;
  o.nodeSize = 32768;  // the builder writes one index level: large nodes hold 50,000 files
  hfsbuilder::HfsPlusImageBuilder b(o);
  const auto t0 = Clock::now();
  std::uint32_t folder = 2;
  for (int i = 0; i < files; ++i) {
    if (i % 1000 == 0) folder = b.AddFolder(2, "dir" + std::to_string(i / 1000));
    hfsbuilder::Bytes data(100 + static_cast<std::size_t>(i % 5000), static_cast<std::uint8_t>('a' + i % 26));
    b.AddFile(folder, "file" + std::to_string(i) + ".txt", std::move(data));
  }
  const hfsbuilder::Bytes volume = b.Build();
  std::printf("volume: %zu MiB, %d files, built in %.1f s\n", volume.size() >> 20, files,
              std::chrono::duration<double>(Clock::now() - t0).count());
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(diskMiB) << 20) != 0) return 1;
  const off_t at = 2048 * 512;
  if (::pwrite(fd, volume.data(), volume.size(), at) != static_cast<ssize_t>(volume.size())) return 1;
  if (zapHeader) {
    const std::vector<std::uint8_t> zero(512, 0);
    if (::pwrite(fd, zero.data(), zero.size(), at + 1024) != 512) return 1;
  }
  ::close(fd);
  if (gpt) {
    const std::string cmd =
        "sgdisk -o -n1:2048:" + std::to_string(2048 + volume.size() / 512 - 1) + " -t1:AF00 '" + path + "' >/dev/null";
    if (std::system(cmd.c_str()) != 0) return 1;
  }
  return 0;
}

int Scan(const std::string& path, bool volumeRecord) {
  engine_registry::Clear();
  RegisterHfsPlusEngine();
  std::unique_ptr<CDiskDevice> disk(CreateDiskDevice(path.c_str()));
  if (disk->Open(nullptr) == 0) return 1;
  if (volumeRecord) {
    // What the partition analysis reports for the GPT entry: read from the
    // volume header at sector 2050.
    std::vector<std::uint8_t> vh(512);
    if (disk->ReadSector(vh.data(), 2050, 1) == 0) return 1;
    const auto be32 = [&](std::size_t i) {
      return std::uint32_t{vh[i]} << 24 | std::uint32_t{vh[i + 1]} << 16 | std::uint32_t{vh[i + 2]} << 8 | vh[i + 3];
    };
    CCollectedVolumeDeviceInfoStruct v;
    v.fileSystem = kFsHfsPlus;
    v.startSector = 2048;
    v.totalSectors = static_cast<long long>(std::uint64_t{be32(40)} * be32(44) / 512);
    v.partitionNumber = 1;
    disk->SetVolumes({v});
  }
  IRecoveryFilter* filter = CreateFilter();
  filter->SetScanType(kScanComplete);
  filter->SetFilterTypes(127);
  CountingTree tree;
  TimingProgress progress;
  IRecoveryController* c = CreateRecoveryController(kControllerWholeDisk);
  c->Initialize(filter);
  const auto t0 = Clock::now();
  const RESULT r = c->StartDataRecovery(disk.get(), &progress, &tree);
  const double total = std::chrono::duration<double>(Clock::now() - t0).count();
  const double sweep = std::chrono::duration<double>(progress.sweepEnd - progress.sweepStart).count();
  const double mib = static_cast<double>(disk->GetTotalSectors()) * disk->GetSectorSize() / (1 << 20);
  std::fprintf(stderr,
               "scan: result 0x%" PRIx64 ", %.0f MiB, total %.2f s, sweep %.2f s (%.0f MiB/s), nodes %" PRIu64
               ", peak %ld MiB\n",
               r, mib, total, sweep, sweep > 0 ? mib / sweep : 0.0, tree.nodes, PeakKiB() / 1024);
  c->Release();
  return 0;
}

int Read(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return 1;
  std::vector<char> buf(4 << 20);
  std::uint64_t bytes = 0;
  const auto t0 = Clock::now();
  for (;;) {
    const ssize_t n = ::pread(fd, buf.data(), buf.size(), static_cast<off_t>(bytes));
    if (n <= 0) break;
    bytes += static_cast<std::uint64_t>(n);
  }
  const double s = std::chrono::duration<double>(Clock::now() - t0).count();
  ::close(fd);
  std::fprintf(stderr, "read: %.0f MiB in %.2f s (%.0f MiB/s), peak %ld MiB\n", bytes / 1048576.0, s,
               bytes / 1048576.0 / s, PeakKiB() / 1024);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s make|scan|read IMAGE [options]\n", argv[0]);
    return 2;
  }
  const std::string cmd = argv[1];
  const std::string path = argv[2];
  int files = 50000;
  long long diskMiB = 4096;
  bool gpt = false, zap = false, record = false;
  for (int i = 3; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--files" && i + 1 < argc)
      files = std::atoi(argv[++i]);
    else if (a == "--disk-mib" && i + 1 < argc)
      diskMiB = std::atoll(argv[++i]);
    else if (a == "--gpt")
      gpt = true;
    else if (a == "--zap-header")
      zap = true;
    else if (a == "--volume-record")
      record = true;
  }
  if (cmd == "make") return Make(path, files, diskMiB, gpt, zap);
  if (cmd == "scan") return Scan(path, record);
  if (cmd == "read") return Read(path);
  return 2;
}
