#include <gtest/gtest.h>

#include <memory>

#include "core/model/FileNode.h"
#include "ntfs/NtfsScanSupport.h"
#include "ntfs/NtfsTestImages.h"
#include "support/Absent.h"
#include "support/TempDir.h"

using namespace ntfstest;

namespace {

// One volume per cluster and sector size, built once for the suite.
struct Volume {
  std::string image;
  std::string sources;
  std::unique_ptr<IStorageDevice> device;
  std::unique_ptr<ScanRun> run;
};

std::string GeometryName(const ::testing::TestParamInfo<std::pair<int, int>>& info) {
  return "cluster" + std::to_string(info.param.first) + "_sector" + std::to_string(info.param.second);
}

class NtfsQuickScan : public ::testing::TestWithParam<std::pair<int, int>> {
 protected:
  static void SetUpTestSuite() {
    s_dir = new testsupport::TempDir();
    s_missing = ImageToolsMissing();
  }
  static void TearDownTestSuite() {
    s_volumes.clear();
    delete s_dir;
    s_dir = nullptr;
  }
  void SetUp() override {
    if (!s_missing.empty()) QUARNEL_SKIP_LACK(s_missing);
    const auto [cluster, sector] = GetParam();
    const std::string key = std::to_string(cluster) + "-" + std::to_string(sector);
    auto it = s_volumes.find(key);
    if (it == s_volumes.end()) {
      Volume v;
      v.image = s_dir->File("ntfs-" + key + ".img");
      v.sources = s_dir->File("src-" + key);
      ASSERT_TRUE(MakeTestVolume(v.image, v.sources, cluster, sector));
      v.device = OpenNtfsVolume(v.image, sector);
      ASSERT_NE(v.device, nullptr);
      v.run = Scan(*v.device, kControllerQuick);
      it = s_volumes.emplace(key, std::move(v)).first;
    }
    m_volume = &it->second;
  }

  static testsupport::TempDir* s_dir;
  static testsupport::Lack s_missing;
  static std::map<std::string, Volume> s_volumes;
  Volume* m_volume = nullptr;
};

testsupport::TempDir* NtfsQuickScan::s_dir = nullptr;
testsupport::Lack NtfsQuickScan::s_missing;
std::map<std::string, Volume> NtfsQuickScan::s_volumes;

}  // namespace

// Every deleted file and folder The Sleuth Kit lists is found at the same
// path, deleted, with its size and modification time.
TEST_P(NtfsQuickScan, ListsWhatTheSleuthKitListsAsDeleted) {
  ASSERT_EQ(m_volume->run->result, 0u);
  const auto expected = DeletedWithFls(m_volume->image);
  ASSERT_GE(expected.size(), 10u);
  for (const auto& [path, e] : expected) {
    SCOPED_TRACE(path);
    auto it = m_volume->run->nodes.find(path);
    ASSERT_NE(it, m_volume->run->nodes.end());
    IFileNode* node = it->second;
    EXPECT_EQ(node->IsDeleted(), 1);
    EXPECT_EQ(node->IsDirectory() != 0, e.directory);
    EXPECT_EQ(static_cast<CFileNode*>(node)->GetCurrentNodeID(), static_cast<long long>(e.inode));
    if (!e.directory) {
      EXPECT_EQ(node->GetFileSize(), e.size);
    }
    EXPECT_EQ(FileTimeText(node->GetModificationTime()), e.mtime);
  }
}

// Recovery writes every deleted file byte for byte as The Sleuth Kit reads
// it, and as it was written when its clusters were not reused: resident,
// non-resident, fragmented and compressed files alike.
TEST_P(NtfsQuickScan, RecoversDeletedFilesByteIdentical) {
  testsupport::TempDir out;
  const auto expected = DeletedWithFls(m_volume->image);
  int recovered = 0;
  for (const auto& [path, e] : expected) {
    if (e.directory || e.size == 0) continue;
    SCOPED_TRACE(path);
    auto it = m_volume->run->nodes.find(path);
    ASSERT_NE(it, m_volume->run->nodes.end());
    const std::string target = out.File("file" + std::to_string(recovered++));
    ASSERT_EQ(Recover(*m_volume->run, it->second, target), 0u);
    const Bytes got = ReadFileBytes(target);
    EXPECT_EQ(got, IcatData(m_volume->image, e.inode));
    if (path != "fill2.bin") {
      EXPECT_EQ(got, ReadFileBytes(m_volume->sources + "/" + path));
    }
  }
  EXPECT_GE(recovered, 8);
}

// ntfs-3g compresses files only on volumes with 4 KiB clusters.
class NtfsQuickScanCompressed : public NtfsQuickScan {};

TEST_P(NtfsQuickScanCompressed, CompressedFileIsMarkedAndLiveFilesAreNotListed) {
  auto& nodes = m_volume->run->nodes;
  ASSERT_TRUE(nodes.count("ZIPPED/comp.txt"));
  EXPECT_EQ(nodes["ZIPPED/comp.txt"]->IsCompressed(), 1);
  EXPECT_EQ(nodes["ZIPPED/comp.txt"]->GetAttribute() & 0x0800u, 0x0800u);
  EXPECT_EQ(nodes.count("DOCS/keep.txt"), 0u);
  EXPECT_EQ(nodes.count("$MFT"), 0u);
}

INSTANTIATE_TEST_SUITE_P(Geometries, NtfsQuickScan,
                         ::testing::Values(std::make_pair(4096, 512), std::make_pair(512, 512),
                                           std::make_pair(65536, 512), std::make_pair(4096, 4096)),
                         GeometryName);
INSTANTIATE_TEST_SUITE_P(Geometries, NtfsQuickScanCompressed,
                         ::testing::Values(std::make_pair(4096, 512), std::make_pair(4096, 4096)), GeometryName);
