// quarnel-cli scan on FAT images, against The Sleuth Kit.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "fat/FatScanHarness.h"

namespace {

namespace fs = std::filesystem;

// The program beside this test program in the build tree ("" when absent).
std::string CliPath() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  const fs::path cli = self.parent_path().parent_path() / "src" / "cli" / "quarnel-cli";
  return fs::exists(cli) ? cli.string() : std::string();
}

std::string Field(const std::string& line, const std::string& key) {
  const std::string tag = "\"" + key + "\": ";
  const auto at = line.find(tag);
  if (at == std::string::npos) return {};
  auto from = at + tag.size();
  if (line[from] == '"') {
    const auto end = line.find('"', from + 1);
    return line.substr(from + 1, end - from - 1);
  }
  const auto end = line.find_first_of(",}", from);
  return line.substr(from, end - from);
}

long long ParseUtc(const std::string& iso) {
  std::tm t{};
  if (strptime(iso.c_str(), "%Y-%m-%dT%H:%M:%SZ", &t) == nullptr) return -1;
  return static_cast<long long>(timegm(&t));
}

TEST(FatCli, ScanListsWhatTheSleuthKitListsAsDeleted) {
  std::string why;
  const std::string dir = fattest::ImagesDir(&why);
  if (dir.empty()) GTEST_SKIP() << why;
  const std::string cli = CliPath();
  if (cli.empty()) GTEST_SKIP() << "quarnel-cli not built";
  for (const char* image : {"fat16.img", "fat32.img"}) {
    SCOPED_TRACE(image);
    const std::string path = dir + "/" + image;
    FILE* pipe = popen(("TZ=UTC '" + cli + "' scan '" + path + "' --json 2>/dev/null").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    struct Row {
      std::string path;
      long long size;
      long long mtime;
    };
    std::vector<Row> rows;
    char line[8192];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
      const std::string text(line);
      if (text.rfind("{", 0) != 0 || Field(text, "deleted") != "true" || Field(text, "searcher") != "32") continue;
      std::string p = Field(text, "path");
      if (!p.empty() && p[0] == '/') p.erase(0, 1);
      rows.push_back({p, std::atoll(Field(text, "size").c_str()), ParseUtc(Field(text, "mtime"))});
    }
    EXPECT_EQ(pclose(pipe), 0);
    const auto tsk = fattest::FlsDeleted(path);
    ASSERT_GT(tsk.size(), 8u);
    for (const fattest::TskEntry& e : tsk) {
      SCOPED_TRACE(e.path);
      const Row* match = nullptr;
      for (const Row& r : rows) {
        if (fattest::SamePathAllowingLostFirstChar(r.path, e.path)) match = &r;
      }
      ASSERT_NE(match, nullptr);
      if (!e.directory) {
        EXPECT_EQ(match->size, e.size);
      }
      EXPECT_EQ(match->mtime, e.mtime);
    }
  }
}

}  // namespace
