// quarnel-cli scan on FAT images, against The Sleuth Kit.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "fat/FatScanHarness.h"
#include "support/Absent.h"
#include "support/CliProgram.h"

namespace {

namespace fs = std::filesystem;

long long ParseUtc(const std::string& iso) {
  std::tm t{};
  if (strptime(iso.c_str(), "%Y-%m-%dT%H:%M:%SZ", &t) == nullptr) return -1;
  return static_cast<long long>(timegm(&t));
}

TEST(FatCli, ScanListsWhatTheSleuthKitListsAsDeleted) {
  testsupport::Lack why;
  const std::string dir = fattest::ImagesDir(&why);
  if (dir.empty()) QUARNEL_SKIP_LACK(why);
  const std::string cli = testsupport::CliPath();
  if (cli.empty()) QUARNEL_SKIP_NO_TOOL() << "quarnel-cli not built";
  for (const char* image : {"fat16.img", "fat32.img"}) {
    SCOPED_TRACE(image);
    const std::string path = dir + "/" + image;
    const testsupport::CliRun run = testsupport::RunCli("scan '" + path + "' --json", "TZ=UTC");
    struct Row {
      std::string path;
      long long size;
      long long mtime;
    };
    std::vector<Row> rows;
    std::istringstream lines(run.out);
    for (std::string text; std::getline(lines, text);) {
      if (text.rfind("{", 0) != 0 || testsupport::JsonField(text, "deleted") != "true" ||
          testsupport::JsonField(text, "searcher") != "32")
        continue;
      std::string p = testsupport::JsonField(text, "path");
      if (!p.empty() && p[0] == '/') p.erase(0, 1);
      rows.push_back({p, std::atoll(testsupport::JsonField(text, "size").c_str()),
                      ParseUtc(testsupport::JsonField(text, "mtime"))});
    }
    EXPECT_EQ(run.status, 0) << run.err;
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
