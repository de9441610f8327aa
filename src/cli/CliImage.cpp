// quarnel-cli image: the image maker driven from a terminal.

#include <sys/stat.h>

#include <atomic>
#include <cinttypes>
#include <filesystem>

#include "bridge/DeviceIdentity.h"
#include "bridge/JobThreads.h"
#include "bridge/QVMakeDmg.h"
#include "bridge/QVUIController.h"
#include "cli/CliCommands.h"
#include "cli/CliJson.h"
#include "cli/CliSource.h"
#include "cli/CliTerminal.h"
#include "platform/FolderProblem.h"
#include "platform/SourceIdentity.h"

namespace cli {

namespace {

// The folder the image goes into ("." for a bare file name).
std::string FolderOf(const std::string& file) {
  const std::filesystem::path parent = std::filesystem::path(file).parent_path();
  return parent.empty() ? std::string(".") : parent.string();
}

// Why the image cannot be written to `path` ("" when it can).
std::string DestinationProblem(IStorageDevice* device, const std::string& path, std::uint64_t bytes) {
  if (platform::DestinationOnSource(IdentityOfDevice(device), path)) {
    return path + ": the image would be written onto the device being copied; choose a file on another disk";
  }
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) {
    return path + " exists; an image is always written to a new file";
  }
  const std::string folder = FolderOf(path);
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) return "cannot write the image into " + folder + ": no such folder";
  if (const std::string problem = platform::FolderWriteProblem(folder); !problem.empty()) {
    return "cannot write the image into " + folder + ": " + problem;
  }
  if (const auto free = platform::FreeBytesAt(folder); free && *free < bytes) {
    return "the image needs " + HumanBytes(static_cast<double>(bytes)) + " but only " +
           HumanBytes(static_cast<double>(*free)) + " are free at " + folder;
  }
  return "";
}

// What a failed copy says; the exit status.
int CopyFailed(int code, const std::string& error) {
  switch (code) {
    case kMakeOnSource:
    case kMakeCreateFailed:
      return Fail(2, error);
    case kMakeStopped:
      return Fail(1, "image stopped by the user; the unfinished file was removed");
    case kMakeReadFailed:
      return Fail(1, error + "; the unfinished image was removed");
    default:
      return Fail(1, "the image could not be made (code " + std::to_string(code) + ")" +
                         (error.empty() ? "" : ": " + error) + "; the unfinished file was removed");
  }
}

}  // namespace

int RunImage(const Options& options, std::FILE* out) {
  QVUIController::Init();
  Source source;
  std::string error;
  if (!ResolveSource(options, source, error)) return Fail(2, error);
  IStorageDevice* device = source.device;
  const long long sectors = std::max(0LL, device->GetTotalSectors());
  const int sectorSize = std::max(0, device->GetSectorSize());
  const std::uint64_t bytes =
      static_cast<std::uint64_t>(sectors) * static_cast<std::uint64_t>(sectorSize) + (options.qdi ? 4096u : 0u);
  if (const std::string problem = DestinationProblem(device, options.destination, bytes); !problem.empty()) {
    return Fail(2, problem);
  }

  QVMakeDMG* maker = QVMakeDMG::QVShareInstance();
  std::atomic<long long> done{0};
  maker->QVSetState(0);
  maker->setQVDelegate([&done](const QVMakeProgress& p) { done = p.done; });
  int code = kMakeOk;
  const auto start = std::chrono::steady_clock::now();
  const int makeRaw = options.qdi ? 0 : 1;
  if (!bridge::JobRegistry::instance().Start("MakeImage", [&code, &error, maker, device, &options, makeRaw] {
        code = maker->MakeImage(device, options.destination, makeRaw, error);
      })) {
    maker->setQVDelegate(nullptr);
    return Fail(1, "the copy could not be started");
  }
  ProgressLine progress;
  const double total = static_cast<double>(sectors) * sectorSize;
  const auto draw = [&] {
    const double copied = static_cast<double>(done.load()) * sectorSize;
    char text[200];
    std::snprintf(text, sizeof text, "imaging %5.1f%%  %s of %s%s", total > 0 ? 100.0 * copied / total : 100.0,
                  HumanBytes(copied).c_str(), HumanBytes(total).c_str(),
                  RateAndTimeLeft(copied, total, Seconds(start)).c_str());
    progress.Show(text);
  };
  RunJobs([maker] { maker->QVSetState(2); }, draw);
  draw();
  progress.Finish();
  maker->setQVDelegate(nullptr);
  maker->QVSetState(0);
  if (code != kMakeOk) return CopyFailed(code, error);

  const double seconds = Seconds(start);
  struct stat st {};
  const long long fileBytes = ::stat(options.destination.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : 0;
  if (options.json) {
    std::fprintf(out,
                 "{\"image\": {\"source\": %s, \"path\": %s, \"format\": \"%s\", \"sectors\": %lld, "
                 "\"sector_size\": %d, \"bytes\": %lld, \"seconds\": %.1f}}\n",
                 JsonString(options.source).c_str(), JsonString(options.destination).c_str(),
                 options.qdi ? "qdi" : "raw", sectors, sectorSize, fileBytes, seconds);
  } else {
    std::fprintf(out, "%s image of %s written to %s: %lld sectors of %d bytes, %lld bytes in %.1f s\n",
                 options.qdi ? "QDI" : "raw", TerminalText(options.source).c_str(),
                 TerminalText(options.destination).c_str(), sectors, sectorSize, fileBytes, seconds);
  }
  std::fflush(out);
  return 0;
}

}  // namespace cli
