// quarnel-cli on the journaled test volume: the files deleted since the
// journal's older leaves are listed and recovered byte for byte.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include "hfsplus/SampleVolume.h"
#include "support/Absent.h"
#include "support/CliProgram.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

TEST(HfsPlusCli, QuickScanListsAndRecoversTheDeletedFiles) {
  const std::string cli = testsupport::CliPath();
  if (cli.empty()) QUARNEL_SKIP_NO_TOOL() << "quarnel-cli is not built in this build tree";
  hfstest::SampleVolume sample(4096, 512, false);
  testsupport::TempDir tmp;
  const std::string image = tmp.File("hfs.img");
  hfstest::WriteFile(image, sample.image);

  const std::string out = testsupport::Capture("'" + cli + "' scan '" + image + "' --json 2>/dev/null");
  std::map<std::string, long long> deleted;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    if (testsupport::JsonField(line, "searcher") != "31") continue;
    if (testsupport::JsonField(line, "deleted") != "true" || testsupport::JsonField(line, "dir") == "true") continue;
    deleted[testsupport::JsonField(line, "path")] = std::stoll(testsupport::JsonField(line, "size"));
  }
  std::map<std::string, long long> expected;
  for (std::uint32_t id : {sample.gone, sample.goneBig, sample.goneComp, sample.goneDeep}) {
    expected["/" + sample.PathOf(id)] = static_cast<long long>(sample.builder.Files().at(id).data.size());
  }
  ASSERT_EQ(deleted, expected) << out;

  const std::string to = tmp.File("found");
  ASSERT_EQ(std::system(("'" + cli + "' recover '" + image + "' --to '" + to + "' >/dev/null 2>&1").c_str()), 0);
  std::map<std::string, std::string> written;  // file name -> path
  for (const auto& e : fs::recursive_directory_iterator(to)) {
    if (e.is_regular_file()) written[e.path().filename().string()] = e.path().string();
  }
  for (std::uint32_t id : {sample.gone, sample.goneBig, sample.goneComp, sample.goneDeep}) {
    const auto& f = sample.builder.Files().at(id);
    ASSERT_TRUE(written.count(f.name)) << f.name << " was not written";
    EXPECT_TRUE(hfstest::ReadFileBytes(written[f.name]) == f.data) << f.name << " differs";
  }
}

}  // namespace
