// Complete scans through the core of a whole disk whose partition table and
// exFAT boot sectors (main and backup) were wiped.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>

#include "core/controller/RecoveryController.h"
#include "core/device/DiskDevice.h"
#include "core/recovery/DataRecovery.h"
#include "core/recovery/FileReader.h"
#include "exfat/ExFatCompleteSearch.h"
#include "exfat/ExFatEngine.h"
#include "exfat/ExFatTestSupport.h"
#include "support/FakeSinks.h"
#include "support/ScanRun.h"
#include "support/TempDir.h"

using namespace exfattest;

namespace {

constexpr long long kPartitionStart = 2048;

class ExFatCompleteScanImage : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    setenv("TZ", "UTC", 1);
    tzset();
    s_why = WhyNoFuseImages();
    if (!s_why.empty()) return;
    s_why = testsupport::MissingTool({"sfdisk"});
    if (!s_why.empty()) return;
    s_dir = std::make_unique<testsupport::TempDir>();
    if (!MakeFuseImage(s_dir->Path().string())) {
      s_why = testsupport::Broken("make_exfat_image.sh failed");
      return;
    }
    const std::string disk = s_dir->File("disk.img");
    const std::string ex = s_dir->File("ex.img");
    const std::string start = std::to_string(kPartitionStart);
    // MBR disk with the volume at 2048; then the table and both boot sectors go.
    const std::string make =
        "truncate -s 80M '" + disk + "' && printf 'label: dos\\n" + start + ",131072,7\\n' | sfdisk -q '" + disk +
        "' && dd if='" + ex + "' of='" + disk + "' bs=512 seek=" + start + " conv=notrunc,sparse status=none" +
        " && dd if=/dev/zero of='" + disk + "' bs=512 count=1 conv=notrunc status=none" + " && dd if=/dev/zero of='" +
        disk + "' bs=512 seek=" + start + " count=1 conv=notrunc status=none" + " && dd if=/dev/zero of='" + disk +
        "' bs=512 seek=" + std::to_string(kPartitionStart + 12) + " count=1 conv=notrunc status=none";
    // A copy whose backup boot sector survives.
    const std::string backup = "cp --sparse=always '" + disk + "' '" + s_dir->File("disk_backup.img") + "' && dd if='" +
                               ex + "' of='" + s_dir->File("disk_backup.img") +
                               "' bs=512 skip=12 seek=" + std::to_string(kPartitionStart + 12) +
                               " count=1 conv=notrunc status=none";
    if (testsupport::Run(make) != 0 || testsupport::Run(backup) != 0)
      s_why = testsupport::Broken("could not make the wiped disks");
  }
  static void TearDownTestSuite() { s_dir.reset(); }

  void SetUp() override {
    if (!s_why.empty()) QUARNEL_SKIP_LACK(s_why);
    RegisterExFatEngine();
  }

  static testsupport::Lack s_why;
  static std::unique_ptr<testsupport::TempDir> s_dir;
};

testsupport::Lack ExFatCompleteScanImage::s_why;
std::unique_ptr<testsupport::TempDir> ExFatCompleteScanImage::s_dir;

class ExFatWipedDisk : public ExFatCompleteScanImage, public ::testing::WithParamInterface<const char*> {};

TEST_P(ExFatWipedDisk, FindsThePartitionAndItsDeletedFiles) {
  std::unique_ptr<CDiskDevice> disk(CreateDiskDevice(s_dir->File(GetParam()).c_str()));
  ASSERT_NE(disk->Open(nullptr), 0);
  testsupport::ScanRun scan;
  testsupport::ScanDevice(scan, disk.get(), kControllerWholeDisk);
  ASSERT_EQ(scan.result, 0u);

  std::unique_ptr<IDataRecovery, void (*)(IDataRecovery*)> recovery(scan.controller->GetDataRecovery(kSearcherExFat),
                                                                    [](IDataRecovery* r) { r->Release(); });
  ASSERT_NE(recovery, nullptr);
  const auto& partitions = recovery->GetSearchedPartition();
  ASSERT_EQ(partitions.size(), 1u);
  // mkfs.exfat on 64 MiB with 4 KiB clusters: heap at 4096, 8 sectors a cluster.
  EXPECT_EQ(partitions[0]->m_llStartSector, kPartitionStart);
  EXPECT_EQ(partitions[0]->m_llClusterBaseSector, kPartitionStart + 4096);
  EXPECT_EQ(partitions[0]->m_iSectorsPerCluster, 8);
  EXPECT_EQ(partitions[0]->m_iFileSystem, kFsExFat);

  const auto found = TreeByPath(scan.tree);
  testsupport::TempDir out;
  int recovered = 0;
  for (const Listed& e : FlsDeleted(s_dir->File("ex.img"))) {
    SCOPED_TRACE(e.path);
    auto it = found.find(e.path);
    if (it == found.end()) {
      // fls lists the head of a set cut by a cluster end by its first characters.
      for (auto f = found.begin(); f != found.end(); ++f) {
        if (f->first.starts_with(e.path) && f->second.node->GetFileSize() == e.size) it = f;
      }
    }
    ASSERT_NE(it, found.end());
    IFileNode* node = it->second.node;
    EXPECT_TRUE(node->IsDeleted());
    EXPECT_EQ(node->GetFileSize(), e.size);
    if (e.directory || e.size == 0) continue;
    EXPECT_EQ(UnixSeconds(node->GetModificationTime()), e.mtime);
    IFileReader* reader = recovery->SetRecoverNode(node);
    ASSERT_NE(reader, nullptr);
    reader->Release();
    const std::string target = out.File("r" + std::to_string(recovered++));
    ASSERT_EQ(recovery->RecoverTo(target.c_str(), nullptr, 0), 0u);
    // The source of a deleted file, by its name in the source tree.
    const std::string name = std::filesystem::path(it->first).filename().string();
    std::string source;
    for (const auto& f : std::filesystem::recursive_directory_iterator(s_dir->File("src"))) {
      if (f.path().filename() == name) source = f.path().string();
    }
    if (!source.empty()) {
      EXPECT_TRUE(ReadFileBytes(target) == ReadFileBytes(source));
    }
  }
  EXPECT_GE(recovered, 15);
}

// Both boot sectors wiped; the main one only.
INSTANTIATE_TEST_SUITE_P(Disks, ExFatWipedDisk, ::testing::Values("disk.img", "disk_backup.img"));

// An intact volume: one partition from its boot sector, whose backup copy
// removes the candidate made by reading the main one as a backup.
TEST_F(ExFatCompleteScanImage, AnIntactVolumeGivesOnePartition) {
  std::unique_ptr<CDiskDevice> image(CreateDiskDevice(s_dir->File("ex.img").c_str()));
  ASSERT_NE(image->Open(nullptr), 0);
  testsupport::ReleasingSink builder;
  CExFatCompleteSearch search;
  search.SetDevice(image.get());
  search.SetBlockSize(8192);
  search.SetDirecotryTreeBuilder(&builder);
  const long long total = image->GetTotalSectors();
  for (long long s = 0; s < total; s += 8192) search.AnalyzeBlock(s, std::min(8192LL, total - s));
  search.EndSearch(1);
  CSearchedPartitionInfo* records[2] = {};
  ASSERT_EQ(search.GetSearchedPartitionInfo(records, 0), 1);
  ASSERT_EQ(search.GetSearchedPartitionInfo(records, 2), 1);
  EXPECT_EQ(records[0]->m_llStartSector, 0);
  EXPECT_EQ(records[0]->m_llClusterBaseSector, 4096);
  EXPECT_EQ(records[0]->m_iSectorsPerCluster, 8);
  EXPECT_EQ(records[0]->GetTotalSectors(), total);
  EXPECT_EQ(records[0]->m_u16PartitionIndex, 0);
  delete records[0];
}

// Names and ids of the nodes handed over, in order.
class ListingBuilder : public testsupport::NodeSink {
 public:
  int AddNode(IFileNode* node, _tagSearcherType) override {
    m_nodes.push_back(std::string(node->GetFileName()) + "|" + std::to_string(node->GetCurrentNodeID()) + "|" +
                      std::to_string(node->GetParentNodeID()) + "|" + std::to_string(node->GetFileSize()));
    node->Release();
    return 1;
  }
  std::vector<std::string> m_nodes;
};

// Entry sets that blocks of the sweep cut are decoded once, whatever the
// block length.
TEST_F(ExFatCompleteScanImage, BlockBoundariesChangeNothing) {
  std::unique_ptr<CDiskDevice> disk(CreateDiskDevice(s_dir->File("disk.img").c_str()));
  ASSERT_NE(disk->Open(nullptr), 0);
  std::vector<std::vector<std::string>> listings;
  for (long long block : {8192LL, 7LL, 61LL}) {
    SCOPED_TRACE(block);
    ListingBuilder builder;
    CExFatCompleteSearch search;
    search.SetDevice(disk.get());
    search.SetBlockSize(static_cast<int>(block));
    search.SetDirecotryTreeBuilder(&builder);
    const long long total = disk->GetTotalSectors();
    for (long long s = 0; s < total; s += block) ASSERT_EQ(search.AnalyzeBlock(s, std::min(block, total - s)), 1);
    search.EndSearch(1);
    std::sort(builder.m_nodes.begin(), builder.m_nodes.end());
    EXPECT_TRUE(std::adjacent_find(builder.m_nodes.begin(), builder.m_nodes.end()) == builder.m_nodes.end());
    listings.push_back(builder.m_nodes);
  }
  ASSERT_GT(listings[0].size(), 60u);
  EXPECT_EQ(listings[1], listings[0]);
  EXPECT_EQ(listings[2], listings[0]);
}

}  // namespace
