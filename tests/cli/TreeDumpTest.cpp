// The trees quarnel-cli finds on images made from seeded content, quick and
// whole-disk scans, compared line by line with the dumps stored in
// tests/cli/trees/. A change meant to be faster must leave them as they are;
// a change that means to alter what is found rewrites them with
//   QUARNEL_WRITE_TREE_DUMPS=1 ctest -R TreeDump
// and the difference is reviewed with the change.

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <sstream>

#include "cli/StoredDump.h"
#include "support/Absent.h"
#include "support/CliProgram.h"
#include "support/TempDir.h"

namespace {

struct DumpCase {
  const char* kind;  // argument of make-tree-images.sh
  const char* scan;  // extra arguments of "quarnel-cli scan"
  const char* dump;  // file under tests/cli/trees/
};

// Why images of this kind cannot be made here ("" when they can).
testsupport::Lack MissingFor(const std::string& kind) {
  if (kind == "fat") return testsupport::MissingTool({"python3", "mkfs.vfat", "mmd", "mcopy", "mdel", "mdeltree"});
  testsupport::Lack lack = testsupport::MissingFuse();
  if (!lack.empty()) return lack;
  if (kind == "exfat") return testsupport::MissingTool({"python3", "mkfs.exfat", "mount.exfat-fuse", "losetup"});
  if (kind == "ntfs") return testsupport::MissingTool({"python3", "mkntfs", "ntfs-3g"});
  return {};
}

// The JSON lines without what changes from run to run: the times (the
// tools stamp some of them with the clock) and the scan's duration.
std::string Canonical(const std::string& out) {
  static const std::regex times(R"(, "ctime": [^,]*, "mtime": [^,]*, "atime": [^}]*)");
  static const std::regex seconds(R"(, "seconds": [0-9.]+)");
  std::string text;
  std::stringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    line = std::regex_replace(line, times, "");
    text += std::regex_replace(line, seconds, "") + "\n";
  }
  return text;
}

void PrintTo(const DumpCase& c, std::ostream* os) { *os << c.kind << " " << c.scan; }

class TreeDump : public ::testing::TestWithParam<DumpCase> {};

TEST_P(TreeDump, ScanFindsTheStoredTree) {
  const DumpCase& c = GetParam();
  const testsupport::Lack missing = MissingFor(c.kind);
  if (!missing.empty()) QUARNEL_SKIP_LACK(missing);

  testsupport::TempDir dir;
  const std::string script = std::string(QUARNEL_CLI_TESTS_DIR) + "/make-tree-images.sh";
  ASSERT_EQ(testsupport::Run("'" + script + "' '" + dir.Path().string() + "' " + c.kind + " >/dev/null 2>&1"), 0);
  const std::string image = dir.File(std::string(c.kind) + ".img");
  const testsupport::CliRun run = testsupport::RunCli("scan '" + image + "' " + c.scan + " --json");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string found = Canonical(run.out);

  clitest::ExpectStoredDump(found, c.dump,
                            std::string("the tree found on ") + c.kind + " (" + c.scan + ") differs from");
}

INSTANTIATE_TEST_SUITE_P(
    Images, TreeDump,
    ::testing::Values(DumpCase{"fat", "", "fat-quick.jsonl"}, DumpCase{"fat", "--disk", "fat-disk.jsonl"},
                      DumpCase{"exfat", "", "exfat-quick.jsonl"}, DumpCase{"exfat", "--disk", "exfat-disk.jsonl"},
                      DumpCase{"ntfs", "", "ntfs-quick.jsonl"}, DumpCase{"ntfs", "--disk", "ntfs-disk.jsonl"}),
    [](const auto& info) { return std::string(info.param.kind) + (info.param.scan[0] != '\0' ? "Disk" : "Quick"); });

}  // namespace
