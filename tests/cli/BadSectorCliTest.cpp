// Sectors that cannot be read are told to the user of quarnel-cli: a line
// when they are met and their count in the summary, as text and as JSON.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "bridge/MainThreadDispatcher.h"
#include "bridge/QVUIController.h"
#include "cli/CliCommands.h"
#include "core/device/VolumeDevice.h"
#include "core/util/WindowWaits.h"
#include "support/Absent.h"
#include "support/CliProgram.h"
#include "support/Files.h"
#include "support/TempDir.h"
#include "support/TroubledReads.h"

namespace {

// Sends standard error to a file for the scope.
class StderrToFile {
 public:
  explicit StderrToFile(const std::string& path) {
    std::fflush(stderr);
    m_saved = ::dup(STDERR_FILENO);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ::dup2(fd, STDERR_FILENO);
    ::close(fd);
  }
  ~StderrToFile() {
    std::fflush(stderr);
    ::dup2(m_saved, STDERR_FILENO);
    ::close(m_saved);
  }
  StderrToFile(const StderrToFile&) = delete;
  StderrToFile& operator=(const StderrToFile&) = delete;

 private:
  int m_saved;
};

// The lines a scan printed on `out` and on standard error.
using Printed = testsupport::CliRun;

Printed Scan(IStorageDevice* device, const testsupport::TempDir& dir, bool json) {
  cli::Options options;
  options.command = cli::Command::kScan;
  options.source = "bad.img";
  options.json = json;
  cli::Source source;
  source.device = device;
  source.deep = 1;
  Printed printed;
  std::FILE* out = std::fopen(dir.File("out").c_str(), "w");
  {
    StderrToFile err(dir.File("err"));
    printed.status = cli::ScanAndReport(source, options.source, options, out);
  }
  std::fclose(out);
  printed.out = testsupport::ReadFileText(dir.File("out"));
  printed.err = testsupport::ReadFileText(dir.File("err"));
  return printed;
}

std::string LastLine(const std::string& text) {
  const std::size_t end = text.find_last_not_of('\n');
  if (end == std::string::npos) return "";
  const std::size_t begin = text.rfind('\n', end);
  return text.substr(begin == std::string::npos ? 0 : begin + 1,
                     end - (begin == std::string::npos ? 0 : begin + 1) + 1);
}

TEST(CliBadSectors, TheSummaryCountsUnreadableSectors) {
  if (const testsupport::Lack lack = testsupport::DemoImageToolsMissing(); !lack.empty()) QUARNEL_SKIP_LACK(lack);
  testsupport::TempDir dir;
  const std::string image = dir.File("bad.img");
  ASSERT_TRUE(testsupport::MakeDemoImage(image));
  bridge::DefaultQueue().BindToCurrentThread();
  window_waits::SetEnabled(false);
  QVUIController::Init();
  QVUIController::SetRecoveryType(127);

  // Three sectors of the 32 MiB volume fail, as on a failing disk.
  testsupport::TroubledReads reads(image, 512);
  for (long long sector : {40000LL, 40001LL, 60000LL}) reads.Fail(sector);
  testsupport::TroubledReadsScope scope(reads, std::chrono::seconds(30));
  std::unique_ptr<CVolumeDevice> volume(CreateVolumeDevice(image.c_str()));
  ASSERT_NE(volume->Open(nullptr), 0);

  const Printed text = Scan(volume.get(), dir, false);
  EXPECT_EQ(text.status, 0) << text.err;
  EXPECT_NE(LastLine(text.out).find(", 3 sectors could not be read (read as zeros)"), std::string::npos)
      << LastLine(text.out);
  EXPECT_NE(text.err.find("bad.img: 3 sectors could not be read"), std::string::npos) << text.err;
  EXPECT_NE(text.out.find("song.mp3"), std::string::npos) << "the rest of the volume was still scanned";

  // A second scan counts them again; as JSON.
  const Printed json = Scan(volume.get(), dir, true);
  EXPECT_EQ(json.status, 0) << json.err;
  EXPECT_EQ(testsupport::JsonField(LastLine(json.out), "unreadable_sectors"), "3") << LastLine(json.out);
  QVUIController::WaitForJobs(20000);
}

TEST(CliBadSectors, AReadableSourceReportsNone) {
  if (const testsupport::Lack lack = testsupport::DemoImageToolsMissing(); !lack.empty()) QUARNEL_SKIP_LACK(lack);
  testsupport::TempDir dir;
  const std::string image = dir.File("good.img");
  ASSERT_TRUE(testsupport::MakeDemoImage(image, 16));
  const std::string out =
      testsupport::Capture("'" + testsupport::CliPath() + "' scan '" + image + "' --json 2>/dev/null");
  EXPECT_EQ(testsupport::JsonField(LastLine(out), "unreadable_sectors"), "0") << LastLine(out);
  const std::string text = testsupport::Capture("'" + testsupport::CliPath() + "' scan '" + image + "' 2>&1");
  EXPECT_EQ(text.find("could not be read"), std::string::npos) << text;
}

}  // namespace
