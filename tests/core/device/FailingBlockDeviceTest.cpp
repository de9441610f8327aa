// Bad sectors on a real block device: a loop device over a FUSE file whose
// chosen sectors fail with EIO (served with direct I/O, so each read reaches
// the file system with its own range). Read through the page cache such a
// device loses the whole page around a bad sector; the reader's retry must
// lose only the bad sectors themselves.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "core/device/AsyncReader.h"
#include "core/device/DeviceTestFiles.h"
#include "support/Absent.h"
#include "support/CliProgram.h"
#include "support/TempDir.h"

extern char** environ;

namespace {

constexpr int kSector = 512;
constexpr long long kSectors = 256;

// The interpreter with the system's packages (a user's own python3 first on
// PATH may lack them).
std::string Python() { return ::access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3"; }

std::string Unmounter() {
  if (testsupport::HaveProgram("fusermount3")) return "fusermount3";
  return testsupport::HaveProgram("fusermount") ? "fusermount" : "";
}

// Why the rig cannot be set up here ("" when it can).
testsupport::Lack MissingForRig() {
  testsupport::Lack lack = testsupport::MissingFuse();
  if (lack.empty()) lack = testsupport::MissingLoop();
  if (!lack.empty()) return lack;
  if (Unmounter().empty()) return testsupport::MissingTool({"fusermount"});
  if (testsupport::Run(Python() + " -c 'import fusepy' >/dev/null 2>&1") != 0 &&
      testsupport::Run(Python() + " -c 'import fuse' >/dev/null 2>&1") != 0) {
    return {testsupport::Absence::kTool, "python3-fusepy is not installed"};
  }
  return {};
}

// The FUSE file and the loop device over it; both go away with the object.
class FailingDevice {
 public:
  FailingDevice(const testsupport::TempDir& dir, const std::string& image, const std::string& badSectors)
      : m_mount(dir.File("mnt")) {
    std::filesystem::create_directory(m_mount);
    const std::string script = std::string(QUARNEL_TESTS_DIR) + "/core/device/failing_sectors_fs.py";
    const std::string python = Python();
    std::vector<std::string> args = {python, script, image, m_mount, badSectors};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (::posix_spawnp(&m_server, python.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
      m_server = -1;
      return;
    }
    const std::string disk = m_mount + "/disk";
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!std::filesystem::exists(disk) && std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!std::filesystem::exists(disk)) return;
    m_loop = testsupport::Capture("losetup -r -f --show '" + disk + "' 2>/dev/null");
    while (!m_loop.empty() && (m_loop.back() == '\n' || m_loop.back() == ' ')) m_loop.pop_back();
  }
  ~FailingDevice() {
    if (!m_loop.empty()) (void)testsupport::Run("losetup -d '" + m_loop + "'");
    if (m_server > 0) {
      (void)testsupport::Run(Unmounter() + " -u '" + m_mount + "' >/dev/null 2>&1");
      ::kill(m_server, SIGTERM);
      int status = 0;
      ::waitpid(m_server, &status, 0);
    }
  }
  FailingDevice(const FailingDevice&) = delete;
  FailingDevice& operator=(const FailingDevice&) = delete;

  const std::string& Loop() const { return m_loop; }

 private:
  std::string m_mount;
  pid_t m_server = -1;
  std::string m_loop;
};

class Fd {
 public:
  explicit Fd(const std::string& path) : fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int fd;
};

TEST(FailingBlockDevice, ABadSectorCostsOnlyItselfNotItsPage) {
  const testsupport::Lack missing = MissingForRig();
  if (!missing.empty()) QUARNEL_SKIP_LACK(missing);

  testsupport::TempDir dir;
  devtest::LogDirScope log{dir.Path().string()};
  const std::string image = dir.File("disk.img");
  devtest::WriteFile(image, devtest::PatternSectors(kSectors, kSector));
  // One bad sector inside a page, one opening a page, one closing the device.
  const std::vector<long long> bad = {11, 40, kSectors - 1};
  FailingDevice device(dir, image, "11,40," + std::to_string(kSectors - 1));
  ASSERT_FALSE(device.Loop().empty()) << "the loop device over the FUSE file could not be set up";
  Fd disk(device.Loop());
  ASSERT_GE(disk.fd, 0) << device.Loop();

  // The rig fails like a disk: through the page cache, a good sector beside
  // a bad one is lost with its page.
  {
    std::vector<std::uint8_t> one(kSector);
    errno = 0;
    EXPECT_LT(::pread(disk.fd, one.data(), kSector, 10 * kSector), kSector);
    EXPECT_EQ(errno, EIO);
  }

  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(kSectors * kSector), 0xEE);
  EXPECT_EQ(QVReadAsyncData(buffer.data(), disk.fd, 0, kSectors * kSector, kSector), 0) << "bad sectors fail the read";
  for (long long s = 0; s < kSectors; ++s) {
    const std::uint8_t* sector = buffer.data() + s * kSector;
    if (std::find(bad.begin(), bad.end(), s) != bad.end()) {
      EXPECT_TRUE(devtest::AllZero(sector, kSector)) << "bad sector " << s;
    } else {
      EXPECT_TRUE(devtest::SectorMatches(sector, s, kSector)) << "sector " << s;
    }
  }
}

}  // namespace
