// quarnel-cli scan --save and load, and Apple disk images as sources.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/Absent.h"
#include "support/CliProgram.h"
#include "support/TempDir.h"

namespace {

std::vector<std::string> SortedTreeLines(const std::string& out) {
  std::vector<std::string> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    if (line.find("\"summary\"") == std::string::npos) lines.push_back(line);
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::string Raw(const std::string& dmg) {
  const std::string dir = testsupport::FixturesDir();
  return dir.empty() ? "" : dir + "/node-udif/" + dmg;
}

}  // namespace

TEST(ScanResultCli, SavedDiskImageScanLoadsTheSameTrees) {
  const std::string cli = testsupport::CliPath();
  const std::string dmg = Raw("compression-raw.dmg");
  if (cli.empty()) QUARNEL_SKIP_NO_TOOL() << "cli absent";
  if (dmg.empty() || !std::filesystem::exists(dmg)) QUARNEL_SKIP_NO_FIXTURE() << "fixtures absent";
  testsupport::TempDir dir;
  const std::string file = dir.File("r.Quarnel");
  const std::string scanned =
      testsupport::Capture("'" + cli + "' scan '" + dmg + "' --disk --json --save '" + file + "' 2>/dev/null");
  ASSERT_TRUE(std::filesystem::exists(file));
  const std::string loaded = testsupport::Capture("'" + cli + "' load '" + file + "' --json 2>/dev/null");
  const auto a = SortedTreeLines(scanned);
  ASSERT_GT(a.size(), 5u);
  EXPECT_EQ(a, SortedTreeLines(loaded));
  EXPECT_NE(loaded.find("New Text Document.txt"), std::string::npos);
}

TEST(ScanResultCli, DamagedFilesAndCompressedImagesFailWithAMessage) {
  const std::string cli = testsupport::CliPath();
  if (cli.empty()) QUARNEL_SKIP_NO_TOOL() << "cli absent";
  testsupport::TempDir dir;
  ASSERT_EQ(testsupport::Run("printf 'not a result' > '" + dir.File("x.Quarnel") + "'"), 0);
  const std::string err = testsupport::Capture("'" + cli + "' load '" + dir.File("x.Quarnel") + "' 2>&1 >/dev/null");
  EXPECT_NE(err.find("not a scan-result file"), std::string::npos) << err;
  EXPECT_NE(testsupport::Run("'" + cli + "' load '" + dir.File("x.Quarnel") + "' >/dev/null 2>&1"), 0);
  const std::string zlib = Raw("compression-zlib.dmg");
  if (zlib.empty() || !std::filesystem::exists(zlib)) return;
  const std::string why = testsupport::Capture("'" + cli + "' scan '" + zlib + "' 2>&1 >/dev/null");
  EXPECT_NE(why.find("compressed (zlib chunks)"), std::string::npos) << why;
}
