#include "cli/CliCommands.h"

#include <unistd.h>

#include <chrono>
#include <cinttypes>
#include <list>
#include <set>

#include "bridge/SaveRestoreResult.h"
#include "bridge/DeviceIdentity.h"
#include "bridge/JobThreads.h"
#include "bridge/MainThreadDispatcher.h"
#include "bridge/QVPublic.h"
#include "bridge/QVUIController.h"
#include "bridge/QVUIRecovery.h"
#include "bridge/QVUIScan.h"
#include "cli/CliJson.h"
#include "cli/CliSource.h"
#include "cli/CliTerminal.h"
#include "core/recovery/DataRecovery.h"

namespace cli {

namespace {

int Fail(int status, const std::string& message) {
  std::fprintf(stderr, "quarnel-cli: %s\n", message.c_str());
  return status;
}

std::string Hex(RESULT r) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "0x%016" PRIx64, static_cast<std::uint64_t>(r));
  return buf;
}

// Drains the main-thread queue until no job is alive; Ctrl-C stops the job
// through `stop`. `tick` shows progress.
bool RunJobs(const std::function<void()>& stop, const std::function<void()>& tick) {
  bool stopped = false;
  bridge::DefaultQueue().RunUntil(
      [&] {
        if (InterruptRequested() && !stopped) {
          stopped = true;
          stop();
        }
        tick();
        return bridge::JobRegistry::instance().Alive() == 0;
      },
      std::chrono::hours(24 * 365));
  return !stopped;
}

struct ScanOutcome {
  bool ok = false;
  double seconds = 0;
};

ScanOutcome ScanSource(const Source& source) {
  ScanOutcome outcome;
  const auto start = std::chrono::steady_clock::now();
  if (!QVUIController::DoScanWithDevice(source.device, source.deep)) {
    Fail(1, "the scan could not be started");
    return outcome;
  }
  ProgressLine progress;
  const auto draw = [&] {
    double percent = 0;
    std::uint64_t files = 0;
    const std::string left = QVUIController::GetScanProgress(percent, files);
    char text[160];
    std::snprintf(text, sizeof text, "scanning %5.1f%%  %" PRIu64 " files found  remaining %s", percent, files,
                  left.c_str());
    progress.Show(text);
  };
  const bool completed = RunJobs([] { QVUIController::StopScan(0); }, draw);
  draw();  // the counts as the scan left them
  progress.Finish();
  outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!completed) {
    Fail(1, "scan stopped by the user; showing what was found");
    return outcome;
  }
  const RESULT r = QVUIScan::instance()->GetLastScanResult();
  if (result::Failed(r) && result::CodeOf(r) == 0x402) {
    // A complete scan with no engine built in ran to its end and found nothing.
    std::fprintf(stderr, "quarnel-cli: warning: no engine for complete scans is built in; nothing can be found\n");
  } else if (result::Failed(r)) {
    Fail(1, "the scan failed (code " + Hex(r) + ")" +
                (result::CodeOf(r) == 0x401 ? ": no quick searcher for this file system; try --deep" : ""));
    return outcome;
  }
  outcome.ok = true;
  return outcome;
}

bool PrepareSource(const Options& options, Source& source, int& status) {
  QVUIController::Init();
  QVUIController::SetRecoveryType(options.types);
  std::string error;
  if (!ResolveSource(options, source, error)) {
    status = Fail(2, error);
    return false;
  }
  return true;
}

}  // namespace

int RunDevices(const Options& options, std::FILE* out) {
  QVUIController::Init();
  const bool found = QVUIController::InitDeviceInfo();
  std::list<_DiskVolumeData> rows;
  QVUIController::GetDeviceInfoToArray(rows);
  if (!found && rows.empty()) return Fail(1, "no disk found (is /sys mounted?)");
  for (const _DiskVolumeData& d : rows) {
    if (options.json) {
      std::string vols;
      for (const _DiskVolumeData& v : d.children) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%lld", v.capacity);
        vols += std::string(vols.empty() ? "" : ", ") + "{\"volume\": " + std::to_string(v.volumeIndex) +
                ", \"device\": " + JsonString(v.devName.empty() ? "" : "/dev/" + v.devName) +
                ", \"name\": " + JsonString(v.name) + ", \"filesystem\": " + JsonString(FileSystemName(v.fileSystem)) +
                ", \"bytes\": " + buf + ", \"readable\": " + (v.beCanOpen ? "true" : "false") + "}";
      }
      std::fprintf(out, "{\"disk\": %d, \"device\": %s, \"name\": %s, \"bytes\": %lld, \"usb\": %s, \"readable\": %s, "
                        "\"volumes\": [%s]}\n",
                   d.diskIndex, JsonString("/dev/" + d.devName).c_str(), JsonString(d.name).c_str(), d.capacity,
                   d.isUSB ? "true" : "false", d.beCanOpen ? "true" : "false", vols.c_str());
      continue;
    }
    std::fprintf(out, "disk %d  /dev/%s  %s  %.1f GB%s%s\n", d.diskIndex, TerminalText(d.devName).c_str(),
                 d.name.empty() ? "(no name)" : TerminalText(d.name).c_str(), static_cast<double>(d.capacity) / 1e9,
                 d.isUSB ? "  usb" : "", d.beCanOpen ? "" : (geteuid() == 0 ? "  (not readable)" : "  (not readable: run as root)"));
    for (const _DiskVolumeData& v : d.children) {
      std::fprintf(out, "  volume %d  %s  %-7s  %.1f GB  %s%s\n", v.volumeIndex,
                   v.devName.empty() ? "(partition)" : TerminalText("/dev/" + v.devName).c_str(),
                   FileSystemName(v.fileSystem), static_cast<double>(v.capacity) / 1e9, TerminalText(v.name).c_str(), v.beCanOpen ? "" : "  (not readable)");
    }
  }
  return 0;
}

int RunScan(const Options& options, std::FILE* out) {
  Source source;
  int status = 0;
  if (!PrepareSource(options, source, status)) return status;
  const ScanOutcome outcome = ScanSource(source);
  const TreeTotals totals = WriteTrees(out, QVUIScan::instance()->GetFileSystemNode(), options.json);
  WriteSummary(out, totals, outcome.seconds, options.json);
  std::fflush(out);
  if (outcome.ok && !options.saveTo.empty()) {
    std::string error;
    if (SaveRestoreResult::SaveScanResult(options.saveTo, nullptr, error) != 0) {
      return Fail(1, "the scan result could not be saved: " + error);
    }
  }
  return outcome.ok ? 0 : 1;
}

int RunLoad(const Options& options, std::FILE* out) {
  QVUIController::Init();
  QVUIController::SetRecoveryType(127);
  const auto start = std::chrono::steady_clock::now();
  int code = -1;
  std::string error;
  const std::string file = options.source;
  const std::string image = options.image;
  if (!bridge::JobRegistry::instance().Start("RestoreScanResult", [&code, &error, file, image] {
        code = SaveRestoreResult::RestoreScanResult(file, QVUIScan::instance(), image, error);
      })) {
    return Fail(1, "the load could not be started");
  }
  RunJobs([] { QVUIController::StopScan(0); }, [] {});
  if (code != 0 && code != SaveRestoreResult::kLoadPartial) {
    return Fail(code == 2 || code == 3 || code == 4 || code == 5 || code == 8 ? 2 : 1,
                options.source + ": " + error + " (code " + std::to_string(code) + ")");
  }
  if (code == SaveRestoreResult::kLoadPartial) std::fprintf(stderr, "quarnel-cli: warning: %s\n", error.c_str());
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const TreeTotals totals = WriteTrees(out, QVUIScan::instance()->GetFileSystemNode(), options.json);
  WriteSummary(out, totals, seconds, options.json);
  std::fflush(out);
  return code == 0 ? 0 : 1;
}

int RunRecover(const Options& options, std::FILE* out) {
  Source source;
  int status = 0;
  if (!PrepareSource(options, source, status)) return status;
  // Refused before a long scan, and again by the bridge before writing.
  if (platform::DestinationOnSource(IdentityOfDevice(source.device), options.destination)) {
    return Fail(2, options.destination + ": destination on the scanned device; choose a folder on another disk");
  }
  const ScanOutcome outcome = ScanSource(source);
  if (!outcome.ok) return 1;

  QVUIScan* scan = QVUIScan::instance();
  if (options.match.empty()) {
    for (IFileNode* root : scan->GetFileSystemNode()) root->SetCheck(kChecked);
  } else {
    std::set<IFileNode*> ticked;
    for (const auto& [category, nodes] : scan->GetTypeMap()) {
      for (IFileNode* n : nodes) {
        if (!n->IsDirectory() && QVUIPublic::IsStringInString(options.match.c_str(), n->GetFileName()) &&
            ticked.insert(n).second) {
          n->SetCheck(kChecked);
        }
      }
    }
  }
  int count = 0;
  std::uint64_t size = 0;
  QVUIController::GetSelectedFilesAmout(count, size);

  const RESULT r = QVUIController::DoRecovery(true, options.destination.c_str(), "DoRecovery", nullptr);
  if (r == kUiDestinationOnSource) {
    return Fail(2, options.destination + ": destination on the scanned device; choose a folder on another disk");
  }
  if (r != 0) return Fail(1, "the recovery could not be started (code " + Hex(r) + ")");

  ProgressLine progress;
  bool writeFailed = false;
  const auto draw = [&] {
    std::uint64_t total = 0;
    std::uint64_t done = 0;
    std::uint64_t error = 0;
    QVUIController::GetRecoveryProgressTotal(total, done, error);
    if (QVUIController::IsPause() || QVUIRecovery::instance()->GetStatus() == kOpPaused) {
      if ((error & 0xFFFFFFFFull) == kRecWriteFailed && !writeFailed) {
        writeFailed = true;
        QVUIController::StopRecvoery();
      }
    }
    char text[160];
    std::snprintf(text, sizeof text, "recovering %" PRIu64 "/%d files  %" PRIu64 "/%" PRIu64 " bytes",
                  QVUIRecovery::instance()->GetRecoveriedFilesCnt(), count, done, total);
    progress.Show(text);
  };
  const bool completed = RunJobs([] { QVUIController::StopRecvoery(); }, draw);
  draw();  // the counts as the recovery left them
  progress.Finish();
  QVUIRecovery* recovery = QVUIRecovery::instance();
  std::fprintf(out, "%" PRIu64 " files (%" PRIu64 " bytes) recovered into %s, %" PRIu64 " failed\n",
               recovery->GetWrittenFilesCnt(), recovery->GetWrittenBytes(), options.destination.c_str(),
               recovery->GetFailedFilesCnt());
  std::fflush(out);
  if (writeFailed) return Fail(1, "writing to " + options.destination + " failed (is the disk full?)");
  if (!completed) return Fail(1, "recovery stopped by the user; the files written so far are kept");
  if (recovery->GetIncompleteFilesCnt() > 0) {
    Fail(1, std::to_string(recovery->GetIncompleteFilesCnt()) +
                " files are incomplete: parts that could not be read stand as zeros");
  }
  if (recovery->GetFailedFilesCnt() > 0) return Fail(1, std::to_string(recovery->GetFailedFilesCnt()) + " files could not be recovered");
  return 0;
}

}  // namespace cli
