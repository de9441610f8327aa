// quarnel-cli scan and recover on NTFS images made by mkntfs and ntfs-3g,
// against The Sleuth Kit and the files as they were written.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/CliProgram.h"
#include "ntfs/NtfsTestImages.h"
#include "support/Absent.h"
#include "support/TempDir.h"

using namespace ntfstest;

namespace {

namespace fs = std::filesystem;

struct CliLines {
  int status = -1;
  std::vector<std::string> lines;
};

// Runs quarnel-cli in UTC; the JSON lines are those starting with '{'.
CliLines RunCli(const std::string& args) {
  const testsupport::CliRun run = testsupport::RunCli(args, "TZ=UTC");
  CliLines result{run.status, {}};
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);) result.lines.push_back(line);
  return result;
}

struct Row {
  bool dir = false;
  bool deleted = false;
  long long size = -1;
  std::string mtime, atime, ctime;
};

// "2026-12-09T21:17:41Z" as fls writes it: "2026-12-09 21:17:41".
std::string FlsTime(std::string iso) {
  if (iso.size() < 19) return iso;
  iso[10] = ' ';
  return iso.substr(0, 19);
}

// NTFS rows of a scan listing by path without the leading '/'. A path seen
// twice keeps its first row and is counted in `duplicates`.
std::map<std::string, Row> NtfsRows(const CliLines& run, int* duplicates = nullptr) {
  std::map<std::string, Row> rows;
  for (const std::string& line : run.lines) {
    if (line.rfind("{", 0) != 0 || testsupport::JsonField(line, "searcher") != "35") continue;
    std::string path = testsupport::JsonField(line, "path");
    if (!path.empty() && path[0] == '/') path.erase(0, 1);
    Row r;
    r.dir = testsupport::JsonField(line, "dir") == "true";
    r.deleted = testsupport::JsonField(line, "deleted") == "true";
    r.size = std::atoll(testsupport::JsonField(line, "size").c_str());
    r.mtime = FlsTime(testsupport::JsonField(line, "mtime"));
    r.atime = FlsTime(testsupport::JsonField(line, "atime"));
    r.ctime = FlsTime(testsupport::JsonField(line, "ctime"));
    if (!rows.emplace(path, r).second && duplicates != nullptr) ++*duplicates;
  }
  return rows;
}

// Files written under `dir` by their path below the tree's folder
// ("DIR/0001/Disk/DOCS/a.txt" -> "DOCS/a.txt" when `tail` is "DOCS/a.txt").
std::string FindRecovered(const std::string& dir, const std::string& tail) {
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (!it->is_regular_file()) continue;
    const std::string p = it->path().string();
    if (p.size() > tail.size() && p.compare(p.size() - tail.size(), tail.size(), tail) == 0 &&
        p[p.size() - tail.size() - 1] == '/') {
      return p;
    }
  }
  return {};
}

class NtfsCli : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_missing = ImageToolsMissing();
    if (s_missing.empty() && CliPath().empty()) s_missing.reason = "quarnel-cli is not built";
    if (!s_missing.empty()) return;
    s_dir = new testsupport::TempDir();
    s_image = s_dir->File("ntfs.img");
    s_sources = s_dir->File("src");
    if (!MakeTestVolume(s_image, s_sources)) s_failure = "the test volume could not be made";
  }
  static void TearDownTestSuite() {
    delete s_dir;
    s_dir = nullptr;
  }
  void SetUp() override {
    if (!s_missing.empty()) QUARNEL_SKIP_LACK(s_missing);
    ASSERT_TRUE(s_failure.empty()) << s_failure;
  }

  static testsupport::Lack s_missing;
  static std::string s_failure;  // a present tool failed
  static testsupport::TempDir* s_dir;
  static std::string s_image;
  static std::string s_sources;
};

testsupport::Lack NtfsCli::s_missing;
std::string NtfsCli::s_failure;
testsupport::TempDir* NtfsCli::s_dir = nullptr;
std::string NtfsCli::s_image;
std::string NtfsCli::s_sources;

// Files whose clusters ntfs-3g gave to a later file.
bool Reused(const std::string& path) { return path == "fill2.bin"; }

}  // namespace

// Every deleted file and folder The Sleuth Kit lists, at its path, with its
// size and times; live files are not listed by the quick scan.
TEST_F(NtfsCli, ScanListsWhatTheSleuthKitListsAsDeleted) {
  const CliLines run = RunCli("scan '" + s_image + "' --json");
  ASSERT_EQ(run.status, 0);
  int duplicates = 0;
  const auto rows = NtfsRows(run, &duplicates);
  EXPECT_EQ(duplicates, 0);
  const auto expected = DeletedWithFls(s_image);
  ASSERT_GE(expected.size(), 15u);
  for (const char* kind : {"DOCS/SUB/DEEP", "ZIPPED/comp.txt", "DOCS/sparse.bin", "ZIPPED/sparsec.bin",
                           "DOCS/SUB/sub_a.txt", "Long Folder Name/Ünïcödé ñame 日本.bin"}) {
    EXPECT_TRUE(expected.count(kind)) << kind;
  }
  for (const auto& [path, e] : expected) {
    SCOPED_TRACE(path);
    auto it = rows.find(path);
    ASSERT_NE(it, rows.end());
    const Row& r = it->second;
    EXPECT_TRUE(r.deleted);
    EXPECT_EQ(r.dir, e.directory);
    if (!e.directory) {
      EXPECT_EQ(r.size, e.size);
    }
    EXPECT_EQ(r.mtime, e.mtime);
    EXPECT_EQ(r.atime, e.atime);
    EXPECT_EQ(r.ctime, e.crtime);
  }
  for (const auto& [path, e] : AllWithFls(s_image)) {
    if (!e.deleted && !e.directory) {
      EXPECT_EQ(rows.count(path), 0u) << path;
    }
  }
}

// Each deleted file whose clusters were not reused comes back as it was
// written: resident, non-resident, compressed, sparse, compressed and sparse.
TEST_F(NtfsCli, RecoverWritesDeletedFilesByteIdentical) {
  testsupport::TempDir out;
  const CliLines run = RunCli("recover '" + s_image + "' --to '" + out.Path().string() + "'");
  ASSERT_EQ(run.status, 0) << (run.lines.empty() ? "" : run.lines.back());
  int compared = 0;
  for (const auto& [path, e] : DeletedWithFls(s_image)) {
    if (e.directory) continue;
    SCOPED_TRACE(path);
    const std::string file = FindRecovered(out.Path().string(), path);
    ASSERT_FALSE(file.empty());
    const Bytes got = ReadFileBytes(file);
    EXPECT_EQ(static_cast<long long>(got.size()), e.size);
    EXPECT_EQ(got, IcatData(s_image, e.inode));
    if (!Reused(path)) {
      EXPECT_EQ(got, ReadFileBytes(s_sources + "/" + path));
      ++compared;
    }
  }
  EXPECT_GE(compared, 12);
}

// A complete scan of the volume lists the live files too, and the recovery
// writer reads them as icat does.
TEST_F(NtfsCli, LiveFilesReadBackAsIcatReadsThem) {
  const CliLines scan = RunCli("scan '" + s_image + "' --deep --json");
  ASSERT_EQ(scan.status, 0);
  const auto rows = NtfsRows(scan);
  testsupport::TempDir out;
  const CliLines run = RunCli("recover '" + s_image + "' --deep --to '" + out.Path().string() + "'");
  ASSERT_EQ(run.status, 0) << (run.lines.empty() ? "" : run.lines.back());
  int live = 0;
  for (const auto& [path, e] : AllWithFls(s_image)) {
    if (e.deleted) continue;
    SCOPED_TRACE(path);
    auto row = rows.find(path);
    ASSERT_NE(row, rows.end());
    EXPECT_FALSE(row->second.deleted);
    EXPECT_EQ(row->second.dir, e.directory);
    EXPECT_EQ(row->second.mtime, e.mtime);
    if (e.directory) continue;
    EXPECT_EQ(row->second.size, e.size);
    const std::string file = FindRecovered(out.Path().string(), path);
    ASSERT_FALSE(file.empty());
    const Bytes got = ReadFileBytes(file);
    EXPECT_EQ(got, IcatData(s_image, e.inode));
    EXPECT_EQ(got, ReadFileBytes(s_sources + "/" + path));
    ++live;
  }
  // keep.txt, fill1.bin, fill3.bin, ZIPPED/keepc.txt (compressed), sparse_keep.bin
  EXPECT_GE(live, 5);
}

// Files of an emptied recycle bin are listed and recovered under the names
// their "$I" records keep, in a quick and in a complete scan.
TEST_F(NtfsCli, RecycledFilesGetTheirOriginalNames) {
  testsupport::TempDir dir;
  const std::string image = dir.File("recycle.img");
  const std::string sources = dir.File("src");
  ASSERT_TRUE(MakeRecycleBinVolume(image, sources));
  const std::string bin = "$Recycle.Bin/S-1-5-21-1000/";
  const std::map<std::string, std::string> original = {{bin + "Quarterly report.docx", "big"},
                                                       {bin + "Notizen für später.txt", "small"}};
  for (const char* mode : {"", " --deep"}) {
    SCOPED_TRACE(mode);
    const auto rows = NtfsRows(RunCli("scan '" + image + "' --json" + mode));
    for (const auto& [path, source] : original) {
      auto it = rows.find(path);
      ASSERT_NE(it, rows.end()) << path;
      EXPECT_TRUE(it->second.deleted);
      EXPECT_EQ(it->second.size, static_cast<long long>(ReadFileBytes(sources + "/" + source).size()));
    }
    for (const auto& [path, row] : rows) {
      EXPECT_EQ(path.find("/$R"), std::string::npos) << path;
      EXPECT_EQ(path.find("/$I"), std::string::npos) << path;
    }
    testsupport::TempDir out;
    ASSERT_EQ(RunCli("recover '" + image + "' --to '" + out.Path().string() + "'" + mode).status, 0);
    for (const auto& [path, source] : original) {
      const std::string file = FindRecovered(out.Path().string(), path);
      ASSERT_FALSE(file.empty()) << path;
      EXPECT_EQ(ReadFileBytes(file), ReadFileBytes(sources + "/" + source)) << path;
    }
  }
}
