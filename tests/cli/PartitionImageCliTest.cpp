// quarnel-cli on copies of single partitions whose boot sectors carry
// boot-message text where a partition table keeps its entries, as Windows
// writes them: each is one volume, quick-scanned, listing what The Sleuth Kit
// lists; a disk with a partition table stays a disk.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <list>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bridge/QVUIController.h"
#include "bridge/QVUIDeviceData.h"
#include "support/Absent.h"
#include "support/CliProgram.h"
#include "support/SleuthKit.h"
#include "support/TempDir.h"

namespace {

using testsupport::CliRun;

// quarnel-cli with its times in UTC.
CliRun RunCli(const std::string& args) { return testsupport::RunCli(args, "TZ=UTC"); }

// What the images made through FUSE need that this machine lacks: the
// rights and devices, then the tools ("" reason: nothing).
testsupport::Lack MissingForFuseImages() {
  testsupport::Lack lack = testsupport::MissingFuse();
  if (lack.empty()) lack = testsupport::MissingLoop();
  return lack.empty() ? testsupport::MissingTool({"mkfs.exfat", "mount.exfat-fuse", "mkntfs", "ntfs-3g"}) : lack;
}

class PartitionImage : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_why = testsupport::MissingTool({"mkfs.vfat", "mcopy", "mdel", "mmd", "sfdisk", "fls", "python3"});
    if (!s_why.empty()) return;
    s_dir = std::make_unique<testsupport::TempDir>();
    s_fuse = MissingForFuseImages();
    const std::string script = std::string(QUARNEL_TESTS_DIR) + "/cli/make_partition_images.sh";
    if (testsupport::Run(std::string("WITH_FUSE=") + (s_fuse.empty() ? "1" : "0") + " bash '" + script + "' '" +
                         s_dir->Path().string() + "' >/dev/null 2>&1") != 0) {
      s_why = testsupport::Broken("make_partition_images.sh failed");
    }
  }
  static void TearDownTestSuite() { s_dir.reset(); }

  void SetUp() override {
    if (!s_why.empty()) QUARNEL_SKIP_LACK(s_why);
  }

  static std::string Image(const std::string& name) { return s_dir->File(name); }

  static testsupport::Lack s_why;
  static testsupport::Lack s_fuse;  // why the FUSE-made images are absent
  static std::unique_ptr<testsupport::TempDir> s_dir;
};

testsupport::Lack PartitionImage::s_why;
testsupport::Lack PartitionImage::s_fuse;
std::unique_ptr<testsupport::TempDir> PartitionImage::s_dir;

struct VolumeCase {
  const char* image;
  const char* fileSystem;  // as quarnel-cli names it
  const char* label;
  int code;      // file-system code
  int searcher;  // of the quick scan
  bool fuse;     // made through FUSE
};

class BareVolume : public PartitionImage, public ::testing::WithParamInterface<VolumeCase> {};

// `fls -r -d` of the volume `offsetSectors` into an image: deleted paths and
// sizes, TSK's own orphan finds left out.
std::map<std::string, long long> FlsDeleted(const std::string& image, long long offsetSectors = 0) {
  std::map<std::string, long long> out;
  for (const testsupport::FlsEntry& e : testsupport::FlsLong(image, offsetSectors, true)) {
    if (!e.path.starts_with("$OrphanFiles")) out[e.path] = e.size;
  }
  return out;
}

TEST_P(BareVolume, IsVolumeZeroWithItsFileSystemAndLabel) {
  const VolumeCase& c = GetParam();
  if (c.fuse && !s_fuse.empty()) QUARNEL_SKIP_LACK(s_fuse);
  const CliRun run = RunCli("scan '" + Image(c.image) + "' --volume 9");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find(std::string("volumes: 0 (") + c.fileSystem + ")\n"), std::string::npos) << run.err;

  QVUIController::Init();
  QVUIDeviceData* list = QVUIDeviceData::instance();
  std::string error;
  const int disk = list->QVOpenImageFile(Image(c.image), error);
  ASSERT_GE(disk, 0) << error;
  std::list<_DiskVolumeData> rows;
  list->GetDiskVolumeInfo(list->GetDiskStorageByIndex(disk), rows);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows.front().volumeIndex, 0);
  EXPECT_EQ(rows.front().fileSystem, c.code);
  EXPECT_EQ(rows.front().name, c.label);
}

TEST_P(BareVolume, QuickScanListsWhatFlsLists) {
  const VolumeCase& c = GetParam();
  if (c.fuse && !s_fuse.empty()) QUARNEL_SKIP_LACK(s_fuse);
  const std::map<std::string, long long> expected = FlsDeleted(Image(c.image));
  ASSERT_EQ(expected.size(), 5u);

  // Volume 0 by name: scanned quickly, never completely.
  const CliRun run = RunCli("scan '" + Image(c.image) + "' --volume 0 --json");
  ASSERT_EQ(run.status, 0) << run.err;
  std::map<std::string, long long> deleted;
  std::istringstream lines(run.out);
  int rows = 0;
  for (std::string line; std::getline(lines, line);) {
    if (!line.starts_with("{\"tree\"")) continue;
    ++rows;
    // One tree, the volume's own: a quick scan, with no carved finds.
    EXPECT_EQ(testsupport::JsonField(line, "searcher"), std::to_string(c.searcher)) << line;
    if (testsupport::JsonField(line, "deleted") != "true" || testsupport::JsonField(line, "dir") == "true") continue;
    std::string path = testsupport::JsonField(line, "path");
    if (path.starts_with("/")) path.erase(0, 1);
    deleted[path] = std::atoll(testsupport::JsonField(line, "size").c_str());
  }
  EXPECT_GE(rows, static_cast<int>(expected.size()));
  for (const auto& [path, size] : expected) {
    SCOPED_TRACE(path);
    const auto it = deleted.find(path);
    ASSERT_NE(it, deleted.end()) << run.out;
    EXPECT_EQ(it->second, size);
  }
}

INSTANTIATE_TEST_SUITE_P(WindowsBootText, BareVolume,
                         ::testing::Values(VolumeCase{"fat16.img", "FAT16", "WINFAT16", 1, 32, false},
                                           VolumeCase{"fat32.img", "FAT32", "WINFAT32", 2, 32, false},
                                           // The exFAT and NTFS recognisers report no label.
                                           VolumeCase{"exfat.img", "exFAT", "", 7, 33, true},
                                           VolumeCase{"ntfs.img", "NTFS", "", 3, 35, true}),
                         [](const ::testing::TestParamInfo<VolumeCase>& info) {
                           std::string name = info.param.image;
                           return name.substr(0, name.find('.'));
                         });

// A loop device over such a copy, attached read-only and detached on every
// way out.
class ReadOnlyLoop {
 public:
  explicit ReadOnlyLoop(const std::string& image) {
    std::string out = testsupport::Capture("losetup -r -f --show '" + image + "' 2>/dev/null");
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    m_device = out;
  }
  ~ReadOnlyLoop() {
    if (!m_device.empty()) testsupport::Run("losetup -d '" + m_device + "' >/dev/null 2>&1");
  }
  ReadOnlyLoop(const ReadOnlyLoop&) = delete;
  ReadOnlyLoop& operator=(const ReadOnlyLoop&) = delete;
  const std::string& Device() const { return m_device; }

 private:
  std::string m_device;
};

TEST_F(PartitionImage, DevicesListsALoopDeviceOverACopyAsOneVolume) {
  if (const testsupport::Lack lack = testsupport::MissingLoop(); !lack.empty()) QUARNEL_SKIP_LACK(lack);
  const ReadOnlyLoop loop(Image("fat32.img"));
  ASSERT_FALSE(loop.Device().empty());
  const CliRun run = RunCli("devices --json");
  ASSERT_EQ(run.status, 0) << run.err;
  std::istringstream lines(run.out);
  bool listed = false;
  for (std::string line; std::getline(lines, line);) {
    if (!line.starts_with("{\"disk\": ") || line.find("\"device\": \"" + loop.Device() + "\", ") == std::string::npos) {
      continue;
    }
    const auto volumes = line.find("\"volumes\": [");
    ASSERT_NE(volumes, std::string::npos) << line;
    const std::string list = line.substr(volumes);
    EXPECT_NE(list.find("{\"volume\": 0, \"device\": \"" + loop.Device() +
                        "\", \"name\": \"WINFAT32\", \"filesystem\": \"FAT32\""),
              std::string::npos)
        << line;
    EXPECT_EQ(list.find("\"volume\": 1"), std::string::npos) << line;
    listed = true;
  }
  EXPECT_TRUE(listed) << run.out;
}

TEST_F(PartitionImage, AnMbrDiskStillListsItsPartition) {
  const std::string disk = Image("disk.img");
  const CliRun run = RunCli("scan '" + disk + "' --volume 9");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("volumes: 0 (FAT16)\n"), std::string::npos) << run.err;

  const std::map<std::string, long long> expected = FlsDeleted(disk, 2048);
  ASSERT_EQ(expected.size(), 5u);
  const CliRun scan = RunCli("scan '" + disk + "' --json");
  ASSERT_EQ(scan.status, 0) << scan.err;
  for (const auto& [path, size] : expected) {
    SCOPED_TRACE(path);
    EXPECT_NE(scan.out.find("\"searcher\": 32, \"path\": \"/" + path +
                            "\", \"dir\": false, \"deleted\": true, \"size\": " + std::to_string(size) + ","),
              std::string::npos)
        << scan.out;
  }
}

}  // namespace
