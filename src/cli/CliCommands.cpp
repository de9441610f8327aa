#include "cli/CliCommands.h"

#include <unistd.h>

#include <chrono>
#include <cinttypes>
#include <list>
#include <optional>
#include <set>

#include "bridge/SaveRestoreResult.h"
#include "bridge/DeviceIdentity.h"
#include "bridge/JobThreads.h"
#include "bridge/MainThreadDispatcher.h"
#include "bridge/MyNotifyCenter.h"
#include "bridge/NotificationCenter.h"
#include "bridge/QVPublic.h"
#include "bridge/QVUIController.h"
#include "bridge/QVUIRecovery.h"
#include "bridge/QVUIScan.h"
#include "cli/CliJson.h"
#include "cli/CliSource.h"
#include "cli/CliTerminal.h"
#include "core/recovery/DataRecovery.h"
#include "platform/FolderProblem.h"

namespace cli {

int Fail(int status, const std::string& message) {
  std::fprintf(stderr, "quarnel-cli: %s\n", message.c_str());
  return status;
}

namespace {

std::string Hex(RESULT r) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "0x%016" PRIx64, static_cast<std::uint64_t>(r));
  return buf;
}

}  // namespace

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

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

namespace {

struct ScanOutcome {
  bool ok = false;
  double seconds = 0;
  long long unreadable = 0;  // sectors that could not be read
};

// The line shown when sectors could not be read.
std::string UnreadableLine(const std::string& name, long long sectors) {
  return "quarnel-cli: " + TerminalText(name) + ": " + std::to_string(sectors) + " sector" + (sectors == 1 ? "" : "s") +
         " could not be read so far; they are read as zeros";
}

ScanOutcome ScanSource(const Source& source, const std::string& name) {
  ScanOutcome outcome;
  const auto start = std::chrono::steady_clock::now();
  ProgressLine progress;
  // The bridge relays unreadable sectors as they happen (at most one notice
  // a second); each notice gives a line with the count so far.
  long long told = 0;
  bridge::ScopedObserver badSectors(kBadSectorNotify, [&](const std::string&) {
    const long long now = QVUIController::GetBadSectorCount();
    if (now <= told) return;
    told = now;
    progress.Note(UnreadableLine(name, now));
  });
  if (!QVUIController::DoScanWithDevice(source.device, source.deep)) {
    Fail(1, "the scan could not be started");
    return outcome;
  }
  const double deviceBytes = static_cast<double>(std::max(0LL, source.device->GetTotalSectors())) *
                             std::max(0, source.device->GetSectorSize());
  // Once stopped, the percentage stays where the scan was stopped.
  std::optional<double> stoppedAt;
  double shown = 0;
  const auto draw = [&] {
    double percent = 0;
    std::uint64_t files = 0;
    // Its time-left text is set aside: the line shows its own rate and time left.
    (void)QVUIController::GetScanProgress(percent, files);
    if (stoppedAt) percent = std::min(percent, *stoppedAt);
    shown = percent;
    char text[200];
    std::snprintf(text, sizeof text, "%s %5.1f%%  %" PRIu64 " files found%s", stoppedAt ? "stopped at" : "scanning",
                  percent, files,
                  stoppedAt ? "" : RateAndTimeLeft(deviceBytes * percent / 100.0, deviceBytes, Seconds(start)).c_str());
    progress.Show(text);
  };
  const bool completed = RunJobs(
      [&] {
        stoppedAt = shown;
        QVUIController::StopScan(0);
      },
      draw);
  draw();  // the counts as the scan left them
  progress.Finish();
  outcome.seconds = Seconds(start);
  outcome.unreadable = QVUIController::GetBadSectorCount();
  // Sources whose failures are not relayed while scanning still say so.
  if (outcome.unreadable > told) {
    std::fprintf(stderr, "quarnel-cli: %s: %lld sector%s could not be read; they were read as zeros\n",
                 TerminalText(name).c_str(), outcome.unreadable, outcome.unreadable == 1 ? "" : "s");
  }
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

// Says what to try when a scan found nothing.
void HintWhenNothingFound(const Source& source, const TreeTotals& totals) {
  if (totals.files > 0) return;
  std::fprintf(stderr, "quarnel-cli: nothing found; %s\n",
               source.deep == 0 ? "try --deep (reads every sector of the volume) or --disk (the whole disk)"
                                : "no file system or known file type was recognised on this source");
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
      std::fprintf(out,
                   "{\"disk\": %d, \"device\": %s, \"name\": %s, \"bytes\": %lld, \"usb\": %s, \"readable\": %s, "
                   "\"volumes\": [%s]}\n",
                   d.diskIndex, JsonString("/dev/" + d.devName).c_str(), JsonString(d.name).c_str(), d.capacity,
                   d.isUSB ? "true" : "false", d.beCanOpen ? "true" : "false", vols.c_str());
      continue;
    }
    std::fprintf(out, "disk %d  /dev/%s  %s  %.1f GB%s%s\n", d.diskIndex, TerminalText(d.devName).c_str(),
                 d.name.empty() ? "(no name)" : TerminalText(d.name).c_str(), static_cast<double>(d.capacity) / 1e9,
                 d.isUSB ? "  usb" : "",
                 d.beCanOpen ? "" : (geteuid() == 0 ? "  (not readable)" : "  (not readable: run as root)"));
    for (const _DiskVolumeData& v : d.children) {
      std::fprintf(out, "  volume %d  %s  %-7s  %.1f GB  %s%s\n", v.volumeIndex,
                   v.devName.empty() ? "(partition)" : TerminalText("/dev/" + v.devName).c_str(),
                   FileSystemName(v.fileSystem), static_cast<double>(v.capacity) / 1e9, TerminalText(v.name).c_str(),
                   v.beCanOpen ? "" : "  (not readable)");
    }
  }
  return 0;
}

int RunScan(const Options& options, std::FILE* out) {
  Source source;
  int status = 0;
  if (!PrepareSource(options, source, status)) return status;
  return ScanAndReport(source, options.source, options, out);
}

int ScanAndReport(const Source& source, const std::string& name, const Options& options, std::FILE* out) {
  const ScanOutcome outcome = ScanSource(source, name);
  const TreeTotals totals = WriteTrees(out, QVUIScan::instance()->GetFileSystemNode(), options.json);
  WriteSummary(out, totals, outcome.seconds, options.json, outcome.unreadable);
  std::fflush(out);
  if (outcome.ok) HintWhenNothingFound(source, totals);
  if (outcome.ok && !options.saveTo.empty()) {
    std::string error;
    if (SaveRestoreResult::SaveScanResult(options.saveTo, nullptr, error) != 0) {
      return Fail(1, "the scan result could not be saved: " + error);
    }
  }
  return outcome.ok ? 0 : 1;
}

namespace {

// Loads a saved scan result (through its job, as the windows do); -1 when
// loaded (a partial load warns), else the exit status after a message.
int LoadSavedResult(const std::string& file, const std::string& image, double& seconds) {
  const auto start = std::chrono::steady_clock::now();
  int code = -1;
  std::string error;
  if (!bridge::JobRegistry::instance().Start("RestoreScanResult", [&code, &error, file, image] {
        code = SaveRestoreResult::RestoreScanResult(file, QVUIScan::instance(), image, error);
      })) {
    return Fail(1, "the load could not be started");
  }
  RunJobs([] { QVUIController::StopScan(0); }, [] {});
  seconds = Seconds(start);
  if (code != 0 && code != SaveRestoreResult::kLoadPartial) {
    return Fail(code == 2 || code == 3 || code == 4 || code == 5 || code == 8 ? 2 : 1,
                file + ": " + error + " (code " + std::to_string(code) + ")");
  }
  if (code == SaveRestoreResult::kLoadPartial) std::fprintf(stderr, "quarnel-cli: warning: %s\n", error.c_str());
  return code == 0 ? -1 : -2;
}

}  // namespace

int RunLoad(const Options& options, std::FILE* out) {
  QVUIController::Init();
  QVUIController::SetRecoveryType(127);
  double seconds = 0;
  const int status = LoadSavedResult(options.source, options.image, seconds);
  if (status >= 0) return status;
  const TreeTotals totals = WriteTrees(out, QVUIScan::instance()->GetFileSystemNode(), options.json);
  WriteSummary(out, totals, seconds, options.json);
  std::fflush(out);
  return status == -1 ? 0 : 1;
}

namespace {

// Ticks every found file, or those whose name holds `match`; their count
// and bytes.
void SelectFiles(const std::string& match, int& count, std::uint64_t& size) {
  QVUIScan* scan = QVUIScan::instance();
  if (match.empty()) {
    for (IFileNode* root : scan->GetFileSystemNode()) root->SetCheck(kChecked);
  } else {
    std::set<IFileNode*> ticked;
    for (const auto& [category, nodes] : scan->GetTypeMap()) {
      for (IFileNode* n : nodes) {
        if (!n->IsDirectory() && QVUIPublic::IsStringInString(match.c_str(), n->GetFileName()) &&
            ticked.insert(n).second) {
          n->SetCheck(kChecked);
        }
      }
    }
  }
  count = 0;
  size = 0;
  QVUIController::GetSelectedFilesAmout(count, size);
}

// Scans SOURCE or loads --result FILE, after checking the destination (on
// the source: refused; not a writable folder with space: refused with the
// reason); -1 when the trees are there, else the exit status.
int FindFiles(const Options& options) {
  const auto refuse = [&options](const platform::SourceIdentity& source) {
    if (platform::DestinationOnSource(source, options.destination)) {
      return Fail(2, options.destination + ": destination on the scanned device; choose a folder on another disk");
    }
    if (const std::string problem = platform::FolderWriteProblem(options.destination); !problem.empty()) {
      return Fail(2, "cannot recover into " + options.destination + ": " + problem);
    }
    return -1;
  };
  if (!options.result.empty()) {
    QVUIController::Init();
    QVUIController::SetRecoveryType(options.types);
    double seconds = 0;
    const int status = LoadSavedResult(options.result, options.image, seconds);
    if (status >= 0) return status;
    return refuse(QVUIScan::instance()->GetScannedIdentity());
  }
  Source source;
  int status = 0;
  if (!PrepareSource(options, source, status)) return status;
  // Refused before a long scan, and again by the bridge before writing.
  if (const int refused = refuse(IdentityOfDevice(source.device)); refused >= 0) return refused;
  const ScanOutcome outcome = ScanSource(source, options.source);
  return outcome.ok ? -1 : 1;
}

// Runs the recovery with its progress line; false when stopped by the user.
bool CopyFiles(int count, std::uint64_t size, bool& writeFailed) {
  ProgressLine progress;
  const auto start = std::chrono::steady_clock::now();
  writeFailed = false;
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
    if (total == 0) total = size;
    char text[200];
    std::snprintf(text, sizeof text, "recovering %" PRIu64 "/%d files  %s of %s%s",
                  QVUIRecovery::instance()->GetRecoveriedFilesCnt(), count,
                  HumanBytes(static_cast<double>(done)).c_str(), HumanBytes(static_cast<double>(total)).c_str(),
                  RateAndTimeLeft(static_cast<double>(done), static_cast<double>(total), Seconds(start)).c_str());
    progress.Show(text);
  };
  const bool completed = RunJobs([] { QVUIController::StopRecvoery(); }, draw);
  draw();  // the counts as the recovery left them
  progress.Finish();
  return completed;
}

// The outcome on `out`: one line, then every file not written whole.
void WriteRecoverySummary(std::FILE* out, const Options& options, int chosen) {
  QVUIRecovery* recovery = QVUIRecovery::instance();
  const std::vector<FailedRecovery> failed = recovery->GetFailedFiles();
  const std::uint64_t written = recovery->GetWrittenFilesCnt();
  const std::uint64_t notReached =
      static_cast<std::uint64_t>(std::max(chosen, 0)) > written + recovery->GetFailedFilesCnt()
          ? static_cast<std::uint64_t>(chosen) - written - recovery->GetFailedFilesCnt()
          : 0;
  if (options.json) {
    for (const FailedRecovery& f : failed) {
      std::fprintf(out, "{\"failed\": {\"path\": %s, \"written\": %s, \"reason\": %s}}\n", JsonString(f.name).c_str(),
                   f.written.empty() ? "null" : JsonString(f.written).c_str(), JsonString(f.reason).c_str());
    }
    std::fprintf(out,
                 "{\"recovered\": {\"files\": %" PRIu64 ", \"bytes\": %" PRIu64 ", \"failed\": %" PRIu64
                 ", \"not_reached\": %" PRIu64 ", \"destination\": %s}}\n",
                 written, recovery->GetWrittenBytes(), recovery->GetFailedFilesCnt(), notReached,
                 JsonString(options.destination).c_str());
    return;
  }
  std::fprintf(out, "%" PRIu64 " files (%" PRIu64 " bytes) recovered into %s, %" PRIu64 " failed\n", written,
               recovery->GetWrittenBytes(), options.destination.c_str(), recovery->GetFailedFilesCnt());
  for (const FailedRecovery& f : failed) {
    std::fprintf(out, "  not recovered: %s: %s%s\n", TerminalText(f.name).c_str(), f.reason.c_str(),
                 f.written.empty() ? "" : ("; what was written is kept as " + TerminalText(f.written)).c_str());
  }
  if (notReached > 0) std::fprintf(out, "  %" PRIu64 " chosen files were not reached\n", notReached);
}

}  // namespace

int RunRecover(const Options& options, std::FILE* out) {
  if (const int status = FindFiles(options); status >= 0) return status;

  int count = 0;
  std::uint64_t size = 0;
  SelectFiles(options.match, count, size);
  if (count == 0) {
    std::fprintf(stderr, "quarnel-cli: no file %s\n",
                 options.match.empty() ? "was found to recover" : ("matches '" + options.match + "'").c_str());
  }
  if (const auto free = platform::FreeBytesAt(options.destination); free && *free < size) {
    std::fprintf(stderr,
                 "quarnel-cli: warning: the chosen files need %s but only %s are free at %s; the recovery stops "
                 "when it is full\n",
                 HumanBytes(static_cast<double>(size)).c_str(), HumanBytes(static_cast<double>(*free)).c_str(),
                 options.destination.c_str());
  }

  const RESULT r = QVUIController::DoRecovery(true, options.destination.c_str(), "DoRecovery", nullptr);
  if (r == kUiDestinationOnSource) {
    return Fail(2, options.destination + ": destination on the scanned device; choose a folder on another disk");
  }
  if (r != 0) return Fail(1, "the recovery could not be started (code " + Hex(r) + ")");

  bool writeFailed = false;
  const bool completed = CopyFiles(count, size, writeFailed);
  WriteRecoverySummary(out, options, count);
  std::fflush(out);
  QVUIRecovery* recovery = QVUIRecovery::instance();
  if (writeFailed) {
    const std::string problem = platform::FolderWriteProblem(options.destination);
    return Fail(1, "writing to " + options.destination + " failed" + (problem.empty() ? "" : ": " + problem));
  }
  if (!completed) return Fail(1, "recovery stopped by the user; the files written so far are kept");
  if (recovery->GetIncompleteFilesCnt() > 0) {
    Fail(1, std::to_string(recovery->GetIncompleteFilesCnt()) +
                " files are incomplete: parts that could not be read stand as zeros");
  }
  if (recovery->GetFailedFilesCnt() > 0) {
    return Fail(1, std::to_string(recovery->GetFailedFilesCnt()) + " files could not be recovered (listed above)");
  }
  return 0;
}

}  // namespace cli
