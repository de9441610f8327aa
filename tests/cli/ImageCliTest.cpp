// quarnel-cli image: a QDI image and a raw image of an image with deleted
// files scan to the same results as the original; the source itself and
// existing files are never written.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/Absent.h"
#include "support/CliProgram.h"
#include "support/Files.h"
#include "support/TempDir.h"

namespace {

using testsupport::CliRun;
using testsupport::Quote;

// The found nodes of a scan, one JSON line each, without the summary.
std::vector<std::string> FoundNodes(const std::string& source, const char* mode) {
  const CliRun r = testsupport::RunCli("scan " + Quote(source) + " " + mode + " --json");
  EXPECT_EQ(r.status, 0) << source << ": " << r.err;
  std::vector<std::string> nodes;
  std::istringstream lines(r.out);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("{\"summary\"", 0) != 0) nodes.push_back(line);
  }
  return nodes;
}

TEST(CliImage, QdiAndRawImagesScanLikeTheOriginal) {
  if (const testsupport::Lack lack = testsupport::DemoImageToolsMissing(); !lack.empty()) QUARNEL_SKIP_LACK(lack);
  testsupport::TempDir dir;
  const std::string original = dir.File("demo.img");
  ASSERT_TRUE(testsupport::MakeDemoImage(original));

  const CliRun raw = testsupport::RunCli("image " + Quote(original) + " --to " + Quote(dir.File("copy.img")));
  ASSERT_EQ(raw.status, 0) << raw.err;
  EXPECT_NE(raw.out.find("raw image of"), std::string::npos) << raw.out;
  EXPECT_NE(raw.err.find("imaging 100.0%"), std::string::npos) << raw.err;
  EXPECT_EQ(testsupport::ReadFileText(dir.File("copy.img")), testsupport::ReadFileText(original))
      << "a raw image is the sectors alone";

  const CliRun qdi =
      testsupport::RunCli("image " + Quote(original) + " --to " + Quote(dir.File("copy.qdi")) + " --qdi --json");
  ASSERT_EQ(qdi.status, 0) << qdi.err;
  EXPECT_EQ(testsupport::JsonField(qdi.out, "format"), "qdi") << qdi.out;
  EXPECT_EQ(testsupport::JsonField(qdi.out, "bytes"), std::to_string(1536 + testsupport::ReadFileText(original).size()))
      << qdi.out;

  for (const char* mode : {"", "--deep"}) {
    const std::vector<std::string> expected = FoundNodes(original, mode);
    ASSERT_FALSE(expected.empty()) << mode;
    bool deleted = false;
    for (const std::string& line : expected) deleted |= testsupport::JsonField(line, "deleted") == "true";
    EXPECT_TRUE(deleted) << "the original holds deleted files (" << mode << ")";
    EXPECT_EQ(FoundNodes(dir.File("copy.img"), mode), expected) << "raw image, scan " << mode;
    EXPECT_EQ(FoundNodes(dir.File("copy.qdi"), mode), expected) << "QDI image, scan " << mode;
  }
}

TEST(CliImage, NeverWritesOverTheSourceOrAnExistingFile) {
  if (const testsupport::Lack lack = testsupport::DemoImageToolsMissing(); !lack.empty()) QUARNEL_SKIP_LACK(lack);
  testsupport::TempDir dir;
  const std::string original = dir.File("demo.img");
  ASSERT_TRUE(testsupport::MakeDemoImage(original));
  const std::string before = testsupport::ReadFileText(original);
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
    const CliRun r = testsupport::RunCli(c.args);
    EXPECT_EQ(r.status, 2) << c.args << "\n" << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << c.args << "\n" << r.err;
  }
  EXPECT_EQ(testsupport::ReadFileText(original), before);
  EXPECT_EQ(testsupport::ReadFileText(dir.File("kept.img")), "keep me");
  EXPECT_FALSE(std::filesystem::exists(dir.File("x.img")));
}

}  // namespace
