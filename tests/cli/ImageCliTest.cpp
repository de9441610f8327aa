// quarnel-cli image: a QDI image and a raw image of an image with deleted
// files scan to the same results as the original; the source itself and
// existing files are never written.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/CliProgram.h"
#include "support/TempDir.h"

namespace {

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

RunResult RunCli(const testsupport::TempDir& dir, const std::string& args) {
  const std::string cmd = Quote(testsupport::CliPath()) + " " + args + " >" + Quote(dir.File("out.txt")) + " 2>" +
                          Quote(dir.File("err.txt")) + " </dev/null";
  RunResult r;
  const int raw = std::system(cmd.c_str());
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = Slurp(dir.File("out.txt"));
  r.err = Slurp(dir.File("err.txt"));
  return r;
}

// The found nodes of a scan, one JSON line each, without the summary.
std::vector<std::string> FoundNodes(const testsupport::TempDir& dir, const std::string& source, const char* mode) {
  const RunResult r = RunCli(dir, "scan " + Quote(source) + " " + mode + " --json");
  EXPECT_EQ(r.status, 0) << source << ": " << r.err;
  std::vector<std::string> nodes;
  std::istringstream lines(r.out);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("{\"summary\"", 0) != 0) nodes.push_back(line);
  }
  return nodes;
}

bool HaveImageTools() { return testsupport::HaveProgram("mkfs.vfat") && testsupport::HaveProgram("mcopy"); }

std::string DemoImage(const testsupport::TempDir& dir) {
  const std::string image = dir.File("demo.img");
  if (testsupport::Run(std::string(QUARNEL_SCRIPTS_DIR) + "/make-demo-image.sh " + Quote(image) + " >/dev/null") != 0) {
    return "";
  }
  return image;
}

TEST(CliImage, QdiAndRawImagesScanLikeTheOriginal) {
  if (!HaveImageTools()) GTEST_SKIP() << "mkfs.vfat or mtools not installed";
  testsupport::TempDir dir;
  const std::string original = DemoImage(dir);
  ASSERT_FALSE(original.empty());

  const RunResult raw = RunCli(dir, "image " + Quote(original) + " --to " + Quote(dir.File("copy.img")));
  ASSERT_EQ(raw.status, 0) << raw.err;
  EXPECT_NE(raw.out.find("raw image of"), std::string::npos) << raw.out;
  EXPECT_NE(raw.err.find("imaging 100.0%"), std::string::npos) << raw.err;
  EXPECT_EQ(Slurp(dir.File("copy.img")), Slurp(original)) << "a raw image is the sectors alone";

  const RunResult qdi =
      RunCli(dir, "image " + Quote(original) + " --to " + Quote(dir.File("copy.qdi")) + " --qdi --json");
  ASSERT_EQ(qdi.status, 0) << qdi.err;
  EXPECT_EQ(testsupport::JsonField(qdi.out, "format"), "qdi") << qdi.out;
  EXPECT_EQ(testsupport::JsonField(qdi.out, "bytes"), std::to_string(1536 + Slurp(original).size())) << qdi.out;

  for (const char* mode : {"", "--deep"}) {
    const std::vector<std::string> expected = FoundNodes(dir, original, mode);
    ASSERT_FALSE(expected.empty()) << mode;
    bool deleted = false;
    for (const std::string& line : expected) deleted |= testsupport::JsonField(line, "deleted") == "true";
    EXPECT_TRUE(deleted) << "the original holds deleted files (" << mode << ")";
    EXPECT_EQ(FoundNodes(dir, dir.File("copy.img"), mode), expected) << "raw image, scan " << mode;
    EXPECT_EQ(FoundNodes(dir, dir.File("copy.qdi"), mode), expected) << "QDI image, scan " << mode;
  }
}

TEST(CliImage, NeverWritesOverTheSourceOrAnExistingFile) {
  if (!HaveImageTools()) GTEST_SKIP() << "mkfs.vfat or mtools not installed";
  testsupport::TempDir dir;
  const std::string original = DemoImage(dir);
  ASSERT_FALSE(original.empty());
  const std::string before = Slurp(original);
  { std::ofstream(dir.File("kept.img")) << "keep me"; }
  struct Case {
    std::string args;
    const char* says;
  };
  const std::vector<Case> cases = {
      {"image " + Quote(original) + " --to " + Quote(original), "onto the device being copied"},
      {"image " + Quote(original) + " --to " + Quote(original) + " --qdi", "onto the device being copied"},
      {"image " + Quote(original) + " --to " + Quote(dir.File("kept.img")), "exists"},
      {"image " + Quote(original) + " --to " + Quote(dir.File("no/such/folder/x.img")), "cannot write the image"},
      {"image " + Quote(original), "missing --to FILE"},
      {"image " + Quote(original) + " --to x.img --deep", "unknown option '--deep'"},
      {"image " + Quote(dir.File("absent.img")) + " --to " + Quote(dir.File("x.img")), "absent.img"},
  };
  for (const Case& c : cases) {
    const RunResult r = RunCli(dir, c.args);
    EXPECT_EQ(r.status, 2) << c.args << "\n" << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << c.args << "\n" << r.err;
  }
  EXPECT_EQ(Slurp(original), before);
  EXPECT_EQ(Slurp(dir.File("kept.img")), "keep me");
  EXPECT_FALSE(std::filesystem::exists(dir.File("x.img")));
}

}  // namespace
