// quarnel-cli as a newcomer meets it: help, refusals that come before a
// scan and say why, hints for sources that are not disk images, recovery
// from a saved result, files that could not be written whole, progress.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include <filesystem>
#include <map>

#include "support/Absent.h"
#include "support/CliProgram.h"
#include "support/Files.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

using testsupport::CliRun;
using testsupport::DemoImage;
using testsupport::Quote;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Every regular file below `root`, relative, with its size.
std::map<std::string, std::uintmax_t> FilesBelow(const fs::path& root) {
  std::map<std::string, std::uintmax_t> files;
  if (!fs::exists(root)) return files;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    if (e.is_regular_file()) files[fs::relative(e.path(), root).string()] = e.file_size();
  }
  return files;
}

TEST(CliUsage, NoArgumentsPrintsTheUsageAndExitsTwo) {
  const CliRun r = testsupport::RunCli("");
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(Has(r.err, "Usage:")) << r.err;
  EXPECT_TRUE(r.out.empty()) << r.out;
}

TEST(CliUsage, EveryCommandHasItsHelp) {
  for (const char* command : {"devices", "scan", "recover", "load"}) {
    SCOPED_TRACE(command);
    for (const std::string& args : {std::string(command) + " --help", std::string(command) + " x.img -h"}) {
      const CliRun r = testsupport::RunCli(args);
      EXPECT_EQ(r.status, 0) << r.err;
      EXPECT_EQ(r.out.rfind(std::string("Usage: quarnel-cli ") + command, 0), 0u) << r.out;
      EXPECT_TRUE(Has(r.out, "Exit status: 0")) << r.out;
    }
  }
  EXPECT_TRUE(Has(testsupport::RunCli("recover --help").out, "--result FILE"));
}

struct SourceCase {
  const char* name;
  const char* make;  // shell command writing $F
  const char* message;
};

class NotADiskImage : public ::testing::TestWithParam<SourceCase> {};

TEST_P(NotADiskImage, IsRefusedWithWhatToTry) {
  testsupport::TempDir dir;
  const std::string file = dir.File(GetParam().name);
  ASSERT_EQ(testsupport::Run("F=" + Quote(file) + "; " + GetParam().make), 0);
  const CliRun r = testsupport::RunCli("scan " + Quote(file));
  EXPECT_EQ(r.status, 2) << r.err;
  EXPECT_TRUE(Has(r.err, GetParam().message)) << r.err;
  EXPECT_FALSE(Has(r.err, "scanning")) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NotADiskImage,
    ::testing::Values(SourceCase{"notes.txt", "printf 'shopping list\\nmilk\\n' > \"$F\"", "looks like a text file"},
                      SourceCase{"disk.img.gz", "head -c 100000 /dev/zero | gzip > \"$F\"",
                                 "gzip-compressed file, not a disk image: decompress it first"},
                      SourceCase{"disk.img.xz", "printf '\\3757zXZ\\0rest' > \"$F\"", "xz-compressed"},
                      SourceCase{"empty.img", ": > \"$F\"", "is empty (0 bytes)"}),
    [](const auto& info) {
      return std::string(info.param.name).substr(0, std::string(info.param.name).find('.')) +
             std::to_string(info.index);
    });

TEST(CliUsage, AnUnrecognisedImageIsSearchedByContentWithANote) {
  testsupport::TempDir dir;
  const std::string file = dir.File("random.img");
  ASSERT_EQ(testsupport::Run("head -c 1048576 /dev/zero > " + Quote(file)), 0);
  const CliRun r = testsupport::RunCli("scan " + Quote(file));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Has(r.err, "nothing found; try --deep")) << r.err;
  const CliRun deep = testsupport::RunCli("scan " + Quote(file) + " --disk");
  EXPECT_EQ(deep.status, 0) << deep.err;
  EXPECT_TRUE(Has(deep.err, "nothing found; no file system or known file type was recognised")) << deep.err;
}

struct DestinationCase {
  const char* name;
  const char* make;  // shell command making $D (as the tests' user)
  const char* message;
};

class UnusableDestination : public ::testing::TestWithParam<DestinationCase> {};

TEST_P(UnusableDestination, IsRefusedBeforeTheScanWithTheReason) {
  if (const testsupport::Lack lack = testsupport::DemoImageToolsMissing(); !lack.empty()) QUARNEL_SKIP_LACK(lack);
  const std::string image = DemoImage();
  ASSERT_FALSE(image.empty()) << "make-demo-image.sh failed";
  testsupport::TempDir dir;
  const std::string dest = dir.File("dest");
  ASSERT_EQ(testsupport::Run("D=" + Quote(dest) + "; " + GetParam().make), 0);
  const CliRun r = testsupport::RunCli("recover " + Quote(image) + " --to " + Quote(dest + "/sub"));
  EXPECT_EQ(r.status, 2) << r.err;
  EXPECT_TRUE(Has(r.err, GetParam().message)) << r.err;
  EXPECT_FALSE(Has(r.err, "scanning")) << "refused only after a scan: " << r.err;
  testsupport::Run("chmod -R u+w " + Quote(dir.Path().string()));
}

INSTANTIATE_TEST_SUITE_P(Cases, UnusableDestination,
                         ::testing::Values(DestinationCase{"file", "printf x > \"$D\"", "is not a folder"},
                                           DestinationCase{"missing_parent_file",
                                                           "mkdir \"$D\" && printf x > \"$D/sub\"", "is not a folder"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CliRecover, AReadOnlyDestinationIsRefusedBeforeTheScan) {
  if (const testsupport::Lack lack = testsupport::DemoImageToolsMissing(); !lack.empty()) QUARNEL_SKIP_LACK(lack);
  testsupport::TempDir dir;
  const std::string dest = dir.File("ro");
  fs::create_directory(dest);
  // Root writes through file modes: it gets a read-only mount instead, which
  // a container may not allow (found before the image is made).
  bool mounted = false;
  if (::geteuid() == 0) {
    mounted = testsupport::Run("mount -t tmpfs -o ro,size=1m quarnel-ro " + Quote(dest) + " 2>/dev/null") == 0;
    if (!mounted) QUARNEL_SKIP_LACK(testsupport::MissingCapability("root without the right to mount a tmpfs"));
  } else {
    fs::permissions(dest, fs::perms::owner_read | fs::perms::owner_exec);
  }
  const std::string image = DemoImage();
  if (image.empty() && mounted) testsupport::Run("umount " + Quote(dest));
  ASSERT_FALSE(image.empty()) << "make-demo-image.sh failed";
  const CliRun r = testsupport::RunCli("recover " + Quote(image) + " --to " + Quote(dest));
  if (mounted) testsupport::Run("umount " + Quote(dest));
  fs::permissions(dest, fs::perms::owner_all);
  EXPECT_EQ(r.status, 2) << r.err;
  EXPECT_TRUE(Has(r.err, mounted ? "read-only file system" : "permission denied")) << r.err;
  EXPECT_FALSE(Has(r.err, "scanning")) << r.err;
}

TEST(CliRecover, AFileCutShortIsNamedAndKeptAsPart) {
  if (const testsupport::Lack lack = testsupport::DemoImageToolsMissing(); !lack.empty()) QUARNEL_SKIP_LACK(lack);
  const std::string image = DemoImage();
  ASSERT_FALSE(image.empty()) << "make-demo-image.sh failed";
  testsupport::TempDir dir;
  const std::string dest = dir.File("out");
  // A 40 KiB file-size limit fails the 70000-byte photo half-way, as a full
  // disk would; the smaller files fit.
  const CliRun r = testsupport::RunCli("recover " + Quote(image) + " --to " + Quote(dest) + " --json",
                                       "trap '' XFSZ; ulimit -f 40;");
  EXPECT_EQ(r.status, 1) << r.err;
  // A deleted FAT file's lost first letter shows as '#'.
  EXPECT_TRUE(Has(r.out, "{\"failed\": {\"path\": \"/Photos/#oliday.jpg\"")) << r.out;
  EXPECT_TRUE(Has(r.out, "writing failed (40960 of 70000 bytes written)")) << r.out;
  EXPECT_TRUE(Has(r.err, "writing to " + dest + " failed")) << r.err;
  bool part = false;
  for (const auto& [name, size] : FilesBelow(dest)) {
    EXPECT_NE(name.find("oliday.jpg"), name.size() - 10) << name << " looks whole";
    if (name.size() > 15 && name.substr(name.size() - 15) == "oliday.jpg.part") {
      part = true;
      EXPECT_LT(size, 70000u);
    }
  }
  EXPECT_TRUE(part) << "no #oliday.jpg.part below " << dest;

  // The text summary names it too.
  const CliRun text = testsupport::RunCli("recover " + Quote(image) + " --to " + Quote(dir.File("out2")),
                                          "trap '' XFSZ; ulimit -f 40;");
  EXPECT_TRUE(Has(text.out, "not recovered: /Photos/#oliday.jpg: writing failed")) << text.out;
  EXPECT_TRUE(Has(text.out, ".part")) << text.out;
}

TEST(CliRecover, ASavedResultIsRecoveredLikeTheScanItCameFrom) {
  if (const testsupport::Lack lack = testsupport::DemoImageToolsMissing(); !lack.empty()) QUARNEL_SKIP_LACK(lack);
  const std::string image = DemoImage();
  ASSERT_FALSE(image.empty()) << "make-demo-image.sh failed";
  testsupport::TempDir dir;
  const std::string saved = dir.File("demo.Quarnel");
  const CliRun scan = testsupport::RunCli("scan " + Quote(image) + " --save " + Quote(saved));
  ASSERT_EQ(scan.status, 0) << scan.err;
  const CliRun direct = testsupport::RunCli("recover " + Quote(image) + " --to " + Quote(dir.File("direct")));
  ASSERT_EQ(direct.status, 0) << direct.err;
  const CliRun loaded = testsupport::RunCli("recover --result " + Quote(saved) + " --to " + Quote(dir.File("loaded")));
  ASSERT_EQ(loaded.status, 0) << loaded.err;
  const auto a = FilesBelow(dir.File("direct"));
  const auto b = FilesBelow(dir.File("loaded"));
  EXPECT_FALSE(a.empty());
  EXPECT_EQ(a, b);
  EXPECT_TRUE(Has(loaded.out, "recovered into")) << loaded.out;
  // The image moved: --image names it.
  const std::string moved = dir.File("moved.img");
  fs::copy_file(image, moved);
  const CliRun other = testsupport::RunCli("recover --result " + Quote(saved) + " --image " + Quote(moved) + " --to " +
                                           Quote(dir.File("moved")));
  EXPECT_EQ(other.status, 0) << other.err;
  EXPECT_EQ(FilesBelow(dir.File("moved")), a);
  // Onto the image it names: refused.
  const CliRun onto = testsupport::RunCli("recover --result " + Quote(saved) + " --to " + Quote(image + "/x"));
  EXPECT_EQ(onto.status, 2) << onto.err;
}

TEST(CliProgress, RateAndTimeLeftAreShown) {
  if (const testsupport::Lack lack = testsupport::DemoImageToolsMissing(); !lack.empty()) QUARNEL_SKIP_LACK(lack);
  const std::string image = DemoImage();
  ASSERT_FALSE(image.empty()) << "make-demo-image.sh failed";
  testsupport::TempDir dir;
  const CliRun scan = testsupport::RunCli("scan " + Quote(image) + " --deep");
  ASSERT_EQ(scan.status, 0) << scan.err;
  EXPECT_TRUE(Has(scan.err, "/s  00:00:00 left")) << scan.err;
  const CliRun rec = testsupport::RunCli("recover " + Quote(image) + " --to " + Quote(dir.File("out")));
  ASSERT_EQ(rec.status, 0) << rec.err;
  EXPECT_TRUE(Has(rec.err, "recovering 2/2 files  70.0 KB of 70.0 KB")) << rec.err;
  EXPECT_TRUE(Has(rec.err, "/s  00:00:00 left")) << rec.err;
}

TEST(CliProgress, AStoppedScanShowsWhereItStopped) {
  testsupport::TempDir dir;
  const std::string image = dir.File("big.img");
  // Sparse: 64 GiB of zeros take far longer to scan than the test waits.
  ASSERT_EQ(testsupport::Run("truncate -s 64G " + Quote(image)), 0);
  const std::string err = dir.File("err");
  const std::string cli = testsupport::CliPath();
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (std::freopen("/dev/null", "w", stdout) == nullptr || std::freopen(err.c_str(), "w", stderr) == nullptr) {
      _exit(126);
    }
    ::execl(cli.c_str(), "quarnel-cli", "scan", image.c_str(), "--disk", static_cast<char*>(nullptr));
    _exit(127);
  }
  // Ctrl-C once the scan shows progress (its handler is in place by then).
  for (int i = 0; i < 600 && !Has(testsupport::ReadFileText(err), "scanning"); ++i) ::usleep(50000);
  ::usleep(500000);
  ::kill(pid, SIGINT);
  int raw = 0;
  ASSERT_EQ(::waitpid(pid, &raw, 0), pid);
  const std::string text = testsupport::ReadFileText(err);
  EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 1) << raw << "\n" << text;
  EXPECT_TRUE(Has(text, "scan stopped by the user")) << text;
  const auto at = text.rfind("stopped at ");
  ASSERT_NE(at, std::string::npos) << text;
  const double percent = std::strtod(text.c_str() + at + 11, nullptr);
  EXPECT_LT(percent, 100.0) << text;
  EXPECT_FALSE(Has(text, "stopped at 100.0%")) << text;
}

}  // namespace
