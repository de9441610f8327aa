// quarnel-cli run as a program: arguments, sources, output and exit status.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "cli/CliArgs.h"
#include "cli/CliJson.h"
#include "core/device/DeviceData.h"
#include "core/image/QdiFormat.h"
#include "support/Absent.h"
#include "support/CliProgram.h"
#include "support/Files.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

using testsupport::CliRun;
using testsupport::DemoImage;
using testsupport::Quote;
using testsupport::RunCli;

// The same sectors wrapped as a QDI image.
std::string WrapAsQdi(const std::string& raw, const std::string& qdi) {
  const std::string bytes = testsupport::ReadFileText(raw);
  CQDIDeviceInfoStruct info;
  info.sectorSize = 512;
  info.totalSectors = bytes.size() / 512;
  info.dataOffset = QdiDataOffsetFor(512);
  info.fileSize = info.dataOffset + bytes.size();
  info.name = "demo";
  info.path = qdi;
  info.creationTime = 1700000000;
  const auto block = SerializeQdiInfo(info);
  std::ofstream out(qdi, std::ios::binary);
  out.write(reinterpret_cast<const char*>(kQdiMagic), 4);
  const std::uint32_t length = static_cast<std::uint32_t>(kQdiInfoSize);
  out.write(reinterpret_cast<const char*>(&length), 4);
  out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size()));
  out.write(std::string(info.dataOffset - kQdiHeaderSize, '\0').data(),
            static_cast<std::streamsize>(info.dataOffset - kQdiHeaderSize));
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return qdi;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream s(text);
  for (std::string line; std::getline(s, line);) lines.push_back(line);
  return lines;
}

struct ArgCase {
  const char* args;
  const char* message;
};

class BadArguments : public ::testing::TestWithParam<ArgCase> {};

TEST_P(BadArguments, ExitTwoWithOneLineNamingTheProblem) {
  const CliRun r = RunCli(GetParam().args);
  EXPECT_EQ(r.status, 2) << r.err;
  EXPECT_NE(r.err.find(GetParam().message), std::string::npos) << r.err;
  EXPECT_EQ(r.err.rfind("quarnel-cli: ", 0), 0u) << r.err;
}

INSTANTIATE_TEST_SUITE_P(Cases, BadArguments,
                         ::testing::Values(ArgCase{"frobnicate", "unknown command 'frobnicate'"},
                                           ArgCase{"scan", "missing SOURCE"},
                                           ArgCase{"scan x.img --deep --disk", "cannot be used together"},
                                           ArgCase{"scan x.img --volume two", "--volume needs a number"},
                                           ArgCase{"scan x.img --types fonts", "unknown file type 'fonts'"},
                                           ArgCase{"scan x.img --bogus", "unknown option '--bogus'"},
                                           ArgCase{"recover x.img", "missing --to DIR"},
                                           ArgCase{"devices extra", "unexpected argument 'extra'"},
                                           ArgCase{"scan /nonexistent/disk.img", "missing device or image file"}));

TEST(Cli, HelpAndVersionExitZero) {
  EXPECT_EQ(RunCli("--help").status, 0);
  const CliRun v = RunCli("--version");
  EXPECT_EQ(v.status, 0);
  EXPECT_NE(v.out.find("quarnel-cli"), std::string::npos);
}

TEST(Cli, ScanOfARawImageRunsToTheEnd) {
  if (const testsupport::Lack lack = testsupport::DemoImageToolsMissing(); !lack.empty()) QUARNEL_SKIP_LACK(lack);
  const std::string image = DemoImage();
  ASSERT_FALSE(image.empty()) << "make-demo-image.sh failed";
  const CliRun r = RunCli("scan " + Quote(image) + " --deep --json");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> lines = Lines(r.out);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back().rfind("{\"summary\": {\"files\": ", 0), 0u) << lines.back();
  for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
    EXPECT_EQ(lines[i].rfind("{\"tree\": ", 0), 0u) << lines[i];
  }
  // A quick scan either runs or says which searcher is missing.
  const CliRun quick = RunCli("scan " + Quote(image));
  if (quick.status != 0) {
    EXPECT_EQ(quick.status, 1);
    EXPECT_NE(quick.err.find("no quick searcher"), std::string::npos) << quick.err;
  }
}

TEST(Cli, ScanOfAQdiImageRunsToTheEnd) {
  if (const testsupport::Lack lack = testsupport::DemoImageToolsMissing(); !lack.empty()) QUARNEL_SKIP_LACK(lack);
  const std::string image = DemoImage();
  ASSERT_FALSE(image.empty()) << "make-demo-image.sh failed";
  testsupport::TempDir dir;
  const std::string qdi = WrapAsQdi(image, dir.File("demo.qdi"));
  const CliRun raw = RunCli("scan " + Quote(image) + " --deep --json");
  const CliRun r = RunCli("scan " + Quote(qdi) + " --deep --json");
  ASSERT_EQ(r.status, 0) << r.err;
  // The same sectors give the same files.
  const auto summary = [](const std::string& out) {
    const auto lines = Lines(out);
    return lines.empty() ? std::string() : lines.back().substr(0, lines.back().find(", \"seconds\""));
  };
  EXPECT_EQ(summary(r.out), summary(raw.out));
}

TEST(Cli, RecoverOntoTheScannedImageIsRefused) {
  if (const testsupport::Lack lack = testsupport::DemoImageToolsMissing(); !lack.empty()) QUARNEL_SKIP_LACK(lack);
  const std::string image = DemoImage();
  ASSERT_FALSE(image.empty()) << "make-demo-image.sh failed";
  const CliRun r = RunCli("recover " + Quote(image) + " --deep --to " + Quote(image + "/out"));
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("destination on the scanned device"), std::string::npos) << r.err;
}

TEST(Cli, RecoverWritesIntoTheDestinationAndSummarises) {
  if (const testsupport::Lack lack = testsupport::DemoImageToolsMissing(); !lack.empty()) QUARNEL_SKIP_LACK(lack);
  const std::string image = DemoImage();
  ASSERT_FALSE(image.empty()) << "make-demo-image.sh failed";
  testsupport::TempDir dir;
  const std::string dest = dir.File("recovered");
  const CliRun r = RunCli("recover " + Quote(image) + " --deep --to " + Quote(dest));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("recovered into " + dest), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(", 0 failed"), std::string::npos) << r.out;
}

TEST(Cli, UnknownVolumeOfAnImageIsNamed) {
  if (const testsupport::Lack lack = testsupport::DemoImageToolsMissing(); !lack.empty()) QUARNEL_SKIP_LACK(lack);
  const std::string image = DemoImage();
  ASSERT_FALSE(image.empty()) << "make-demo-image.sh failed";
  const CliRun r = RunCli("scan " + Quote(image) + " --volume 7");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("unknown volume 7"), std::string::npos) << r.err;
}

// The whole disk that holds the root file system, by its kernel name.
std::string RootDiskName() {
  struct stat st {};
  if (::stat("/", &st) != 0) return "";
  std::error_code ec;
  fs::path p =
      fs::canonical("/sys/dev/block/" + std::to_string(major(st.st_dev)) + ":" + std::to_string(minor(st.st_dev)), ec);
  if (ec) return "";
  if (fs::exists(p / "partition")) p = p.parent_path();
  return p.filename().string();
}

TEST(Cli, DevicesListsTheRootDisk) {
  const std::string disk = RootDiskName();
  if (disk.empty() || disk.rfind("dm-", 0) == 0) {
    QUARNEL_SKIP_LACK(testsupport::MissingCapability("the root file system is not on a plain disk"));
  }
  const CliRun r = RunCli("devices");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("/dev/" + disk + " "), std::string::npos) << r.out;
  const CliRun j = RunCli("devices --json");
  ASSERT_EQ(j.status, 0) << j.err;
  EXPECT_NE(j.out.find("\"device\": \"/dev/" + disk + "\""), std::string::npos) << j.out;
}

TEST(CliJson, StringsAreEscapedByteForByte) {
  EXPECT_EQ(cli::JsonString("plain"), "\"plain\"");
  EXPECT_EQ(cli::JsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
  EXPECT_EQ(cli::JsonString("tab\there\n"), "\"tab\\there\\n\"");
  EXPECT_EQ(cli::JsonString(std::string("nul\0x", 5)), "\"nul\\u0000x\"");
  EXPECT_EQ(cli::JsonString("caf\xc3\xa9"), "\"caf\xc3\xa9\"");
  // Invalid UTF-8: each byte of the bad sequence as \u00XX.
  EXPECT_EQ(cli::JsonString("bad\xff\xc3("), "\"bad\\u00ff\\u00c3(\"");
  EXPECT_EQ(cli::JsonString("\xed\xa0\x80"), "\"\\u00ed\\u00a0\\u0080\"");  // a surrogate
  EXPECT_EQ(cli::JsonString("\xc0\xaf"), "\"\\u00c0\\u00af\"");             // overlong "/"
}

TEST(CliText, WhatATerminalWouldActOnIsShownAsQuestionMarks) {
  struct Case {
    std::string in;
    std::string out;
  };
  const std::vector<Case> cases = {
      {"plain name.txt", "plain name.txt"},
      {"caf\xc3\xa9 \xe6\x97\xa5", "caf\xc3\xa9 \xe6\x97\xa5"},
      {"\x1b]0;title\x07x", "?]0;title?x"},  // ESC and BEL
      {"a\rb\nc\td\x7f", "a?b?c?d?"},        // C0 controls and DEL
      {"csi\xc2\x9b"
       "31m",
       "csi?31m"},  // C1 CSI written as UTF-8
      {"bad\xff\xc3(",
       "bad?"
       "?("},                                       // invalid UTF-8, byte by byte
      {"evil\xe2\x80\xaetxt.exe", "evil?txt.exe"},  // right-to-left override
      {"iso\xe2\x81\xa6x\xe2\x81\xa9", "iso?x?"},   // isolates
  };
  for (const Case& c : cases) EXPECT_EQ(cli::TerminalText(c.in), c.out) << c.out;
  EXPECT_EQ(cli::JsonString("csi\xc2\x9b"), "\"csi\\u009b\"");
  EXPECT_EQ(cli::JsonString("\xe2\x80\xae"), "\"\\u202e\"");
}

// A read-only loop device of an image; detached again at the end.
class LoopDevice {
 public:
  explicit LoopDevice(const std::string& image) {
    FILE* p = ::popen(("losetup -f --show -r " + Quote(image) + " 2>/dev/null").c_str(), "r");
    if (p == nullptr) return;
    char buf[64] = {};
    if (std::fgets(buf, sizeof buf, p) != nullptr) m_path = buf;
    ::pclose(p);
    while (!m_path.empty() && (m_path.back() == '\n' || m_path.back() == ' ')) m_path.pop_back();
  }
  ~LoopDevice() {
    if (!m_path.empty()) testsupport::Run("losetup -d " + Quote(m_path) + " 2>/dev/null");
  }
  const std::string& Path() const { return m_path; }

 private:
  std::string m_path;
};

TEST(Cli, DevicesShowALabelWithEscapeSequencesCleaned) {
  testsupport::Lack lack = testsupport::MissingLoop();
  if (lack.empty()) lack = testsupport::MissingTool({"mkfs.vfat"});
  if (!lack.empty()) QUARNEL_SKIP_LACK(lack);
  testsupport::TempDir dir;
  const std::string image = dir.File("label.img");
  ASSERT_EQ(testsupport::Run("mkfs.vfat -F 16 -n QLABELXXXXX -C " + Quote(image) + " 16384 >/dev/null 2>&1"), 0);
  // The label in the boot sector and in the root folder: colour codes and a bell.
  std::string bytes = testsupport::ReadFileText(image);
  const std::string hostile = "\x1b[31mRED\x07\x1b]";
  for (std::size_t at = bytes.find("QLABELXXXXX"); at != std::string::npos; at = bytes.find("QLABELXXXXX", at)) {
    bytes.replace(at, 11, hostile);
  }
  std::ofstream(image, std::ios::binary | std::ios::trunc) << bytes;
  LoopDevice loop(image);
  if (loop.Path().empty()) QUARNEL_SKIP_LACK(testsupport::MissingCapability("losetup could not attach a loop device"));
  const CliRun r = RunCli("devices");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string name = fs::path(loop.Path()).filename().string();
  ASSERT_NE(r.out.find("/dev/" + name), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find('\x1b'), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find('\x07'), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("?[31mRED?"), std::string::npos) << r.out;
}

TEST(Cli, JsonMarksAFileWhoseSizeItsVolumeCannotHoldAsDamaged) {
  if (const testsupport::Lack lack = testsupport::MissingTool({"mkfs.vfat", "mcopy"}); !lack.empty()) {
    QUARNEL_SKIP_LACK(lack);
  }
  testsupport::TempDir dir;
  const std::string image = dir.File("claims.img");
  const std::string payload = dir.File("payload.txt");
  std::ofstream(payload) << std::string(3000, 'q');
  ASSERT_EQ(testsupport::Run("mkfs.vfat -F 16 -C " + Quote(image) + " 16384 >/dev/null 2>&1"), 0);
  for (const char* name : {"BIG.TXT", "FINE.TXT"}) {
    ASSERT_EQ(testsupport::Run("MTOOLS_SKIP_CHECK=1 mcopy -i " + Quote(image) + " " + Quote(payload) + " ::/" + name),
              0);
  }
  // BIG.TXT's entry claims 4 GiB on a 16 MiB volume.
  std::string bytes = testsupport::ReadFileText(image);
  const std::size_t at = bytes.find("BIG     TXT");
  ASSERT_NE(at, std::string::npos);
  bytes.replace(at + 28, 4, "\xf0\xff\xff\xff");
  std::ofstream(image, std::ios::binary | std::ios::trunc) << bytes;

  // A complete scan lists live files too.
  const CliRun r = RunCli("scan " + Quote(image) + " --deep --json");
  ASSERT_EQ(r.status, 0) << r.err;
  int seen = 0;
  for (const std::string& line : Lines(r.out)) {
    const std::string path = testsupport::JsonField(line, "path");
    if (path == "/BIG.TXT") {
      ++seen;
      EXPECT_EQ(testsupport::JsonField(line, "damaged"), "true") << line;
      EXPECT_LT(std::stoll(testsupport::JsonField(line, "size")), 16LL * 1024 * 1024) << line;
    } else if (path == "/FINE.TXT") {
      ++seen;
      EXPECT_EQ(testsupport::JsonField(line, "damaged"), "") << line;
      EXPECT_EQ(testsupport::JsonField(line, "size"), "3000") << line;
    }
  }
  EXPECT_EQ(seen, 2) << r.out;
}

TEST(CliArgs, TypesAndVolume) {
  cli::Options o;
  std::string error;
  ASSERT_TRUE(cli::ParseArguments(
      {"recover", "/dev/sdb", "--to", "/mnt/x", "--volume", "2", "--types", "documents,pictures", "--match", "jpg"}, o,
      error))
      << error;
  EXPECT_EQ(o.command, cli::Command::kRecover);
  EXPECT_EQ(o.source, "/dev/sdb");
  EXPECT_EQ(o.destination, "/mnt/x");
  EXPECT_EQ(o.volume.value_or(-1), 2);
  EXPECT_EQ(o.types, 3u);
  EXPECT_EQ(o.match, "jpg");
  ASSERT_TRUE(cli::ParseArguments({"scan", "a.img", "--types", "all", "--json"}, o, error));
  EXPECT_EQ(o.types, 127u);
  EXPECT_TRUE(o.json);
}

}  // namespace
