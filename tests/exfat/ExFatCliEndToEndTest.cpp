// quarnel-cli over an exFAT image written by exfat-fuse: what `scan --json`
// lists against `fls -r -d`, and what `recover` writes against the sources.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "exfat/ExFatTestSupport.h"
#include "support/CliProgram.h"
#include "support/TempDir.h"

using namespace exfattest;
namespace fs = std::filesystem;

namespace {

struct Item {
  bool deleted = false;
  long long size = 0;
  bool dir = false;
};

class ExFatCli : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_why = WhyNoFuseImages();
    if (!s_why.empty()) return;
    s_cli = testsupport::CliPath();
    if (s_cli.empty()) {
      s_why = {testsupport::Absence::kTool, "quarnel-cli not built in this build tree"};
      return;
    }
    s_dir = std::make_unique<testsupport::TempDir>();
    if (!MakeFuseImage(s_dir->Path().string())) s_why = testsupport::Broken("make_exfat_image.sh failed");
  }
  static void TearDownTestSuite() { s_dir.reset(); }
  void SetUp() override {
    if (!s_why.empty()) QUARNEL_SKIP_LACK(s_why);
  }

  static testsupport::Lack s_why;
  static std::string s_cli;
  static std::unique_ptr<testsupport::TempDir> s_dir;
};

testsupport::Lack ExFatCli::s_why;
std::string ExFatCli::s_cli;
std::unique_ptr<testsupport::TempDir> ExFatCli::s_dir;

TEST_F(ExFatCli, ScanListsWhatFlsListsAndRecoverWritesTheOriginals) {
  const std::string image = s_dir->File("ex.img");
  // Standard output only: progress lines on standard error could land inside
  // a JSON line in a shared pipe.
  const std::string out = testsupport::Capture("TZ=UTC '" + s_cli + "' scan '" + image + "' --json 2>/dev/null");
  // Paths of the exFAT tree, from its root.
  std::map<std::string, Item> items;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    if (testsupport::JsonField(line, "searcher") != "33") continue;
    const std::string path = testsupport::JsonField(line, "path");
    if (path.empty()) continue;
    items[path] = Item{testsupport::JsonField(line, "deleted") == "true",
                       std::stoll(testsupport::JsonField(line, "size")), testsupport::JsonField(line, "dir") == "true"};
  }
  ASSERT_FALSE(items.empty()) << out;
  for (const Listed& e : FlsDeleted(image)) {
    SCOPED_TRACE(e.path);
    auto it = items.find(e.path);
    if (it == items.end()) {
      // fls names the head of a set cut by a cluster end by its first characters.
      for (auto f = items.begin(); f != items.end(); ++f) {
        if (f->first.starts_with(e.path) && f->second.size == e.size) it = f;
      }
    }
    ASSERT_NE(it, items.end());
    EXPECT_TRUE(it->second.deleted);
    EXPECT_EQ(it->second.dir, e.directory);
    if (!e.directory) {
      EXPECT_EQ(it->second.size, e.size);
    }
  }

  testsupport::TempDir to;
  const int status = std::system(
      ("'" + s_cli + "' recover '" + image + "' --to '" + to.Path().string() + "' --match c_frag >/dev/null 2>&1")
          .c_str());
  ASSERT_TRUE(WIFEXITED(status));
  std::string written;
  for (const auto& f : fs::recursive_directory_iterator(to.Path())) {
    if (f.path().filename() == "c_frag.bin") written = f.path().string();
  }
  ASSERT_FALSE(written.empty());
  EXPECT_TRUE(ReadFileBytes(written) == ReadFileBytes(s_dir->File("src/c_frag.bin")));
}

}  // namespace
