#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "core/model/FileNode.h"
#include "core/recovery/DataRecovery.h"
#include "core/recovery/FileReader.h"
#include "ntfs/MftSweep.h"
#include "ntfs/NtfsFileNode.h"
#include "ntfs/NtfsScanSupport.h"
#include "ntfs/NtfsTestImages.h"
#include "support/Absent.h"
#include "support/TempDir.h"

using namespace ntfstest;

namespace {

constexpr long long kFirstStart = 2048;
constexpr long long kSecondStart = 2048 + 131072 + 2048;
constexpr long long kVolumeSectors = 131072;
constexpr long long kStarts[2] = {kFirstStart, kSecondStart};

// Sectors wiped on a copy of the disk: the partition table always, the boot
// sector and its copy at the volume's last sector of some volumes, and the
// second volume's $MFT record (its copy in $MFTMirr stays).
struct Wipe {
  const char* name;
  bool first;
  bool second;
  bool secondMft;
};

// One scanned copy of the disk per wipe.
struct Scanned {
  std::string disk;
  std::unique_ptr<IStorageDevice> device;
  std::unique_ptr<ScanRun> run;
};

// A disk holding two NTFS volumes (4 KiB and 8 KiB clusters), made once.
class NtfsCompleteScan : public ::testing::TestWithParam<Wipe> {
 protected:
  static void SetUpTestSuite() {
    s_missing = ImageToolsMissing();
    if (!s_missing.empty()) return;
    s_dir = new testsupport::TempDir();
    const std::string a = s_dir->File("a.img");
    const std::string b = s_dir->File("b.img");
    s_disk = s_dir->File("disk.img");
    if (!MakeTestVolume(a, s_dir->File("src-a"), 4096) || !MakeTestVolume(b, s_dir->File("src-b"), 8192)) {
      s_failure = "the test volumes could not be made";
      return;
    }
    const std::string cmd = "truncate -s 132M '" + s_disk + "' && printf 'label: dos\n" + std::to_string(kFirstStart) +
                            ",131072,7\n" + std::to_string(kSecondStart) + ",131072,7\n' | sfdisk -q '" + s_disk +
                            "' && dd if='" + a + "' of='" + s_disk + "' bs=512 seek=" + std::to_string(kFirstStart) +
                            " conv=notrunc,sparse status=none && dd if='" + b + "' of='" + s_disk +
                            "' bs=512 seek=" + std::to_string(kSecondStart) + " conv=notrunc,sparse status=none";
    const Bytes boot = ReadFileBytes(b);
    if (testsupport::Run(cmd) != 0 || ReadFileBytes(a).size() != kVolumeSectors * 512 || boot.size() < 512) {
      s_failure = "the disk image could not be made";
      return;
    }
    long long mftCluster = 0;
    for (int i = 7; i >= 0; --i) mftCluster = mftCluster * 256 + boot[0x30 + i];
    s_secondMft = kSecondStart + mftCluster * boot[0x0D];
    for (int v = 0; v < 2; ++v) {
      s_deleted[v] = DeletedWithFls(s_disk, kStarts[v]);
      s_all[v] = AllWithFls(s_disk, kStarts[v]);
    }
  }
  static void TearDownTestSuite() {
    s_scans.clear();
    delete s_dir;
    s_dir = nullptr;
  }
  void SetUp() override {
    if (!s_missing.empty()) QUARNEL_SKIP_LACK(s_missing);
    ASSERT_TRUE(s_failure.empty()) << s_failure;
    const Wipe& w = GetParam();
    auto it = s_scans.find(w.name);
    if (it == s_scans.end()) {
      Scanned s;
      s.disk = s_dir->File(std::string("disk-") + w.name + ".img");
      ASSERT_EQ(testsupport::Run("cp --sparse=always '" + s_disk + "' '" + s.disk + "'"), 0);
      std::vector<long long> sectors{0};
      for (int v = 0; v < 2; ++v) {
        if (v == 0 ? w.first : w.second) {
          sectors.push_back(kStarts[v]);
          sectors.push_back(kStarts[v] + kVolumeSectors - 1);
        }
      }
      if (w.secondMft) {
        sectors.push_back(s_secondMft);
        sectors.push_back(s_secondMft + 1);
      }
      for (long long sector : sectors) {
        ASSERT_EQ(testsupport::Run("dd if=/dev/zero of='" + s.disk + "' bs=512 seek=" + std::to_string(sector) +
                                   " count=1 conv=notrunc status=none"),
                  0);
      }
      s.device = OpenDisk(s.disk);
      ASSERT_NE(s.device, nullptr);
      s.run = Scan(*s.device, kControllerWholeDisk);
      it = s_scans.emplace(w.name, std::move(s)).first;
    }
    m_scan = &it->second;
  }

  IFileNode* Node(int volume, const std::string& path) const {
    auto it = m_scan->run->nodes.find(std::to_string(volume) + ":" + path);
    return it == m_scan->run->nodes.end() ? nullptr : it->second;
  }

  static testsupport::Lack s_missing;
  static std::string s_failure;  // a present tool failed
  static testsupport::TempDir* s_dir;
  static std::string s_disk;
  static long long s_secondMft;
  static std::map<std::string, FlsEntry> s_deleted[2];
  static std::map<std::string, FlsEntry> s_all[2];
  static std::map<std::string, Scanned> s_scans;
  Scanned* m_scan = nullptr;
};

testsupport::Lack NtfsCompleteScan::s_missing;
std::string NtfsCompleteScan::s_failure;
testsupport::TempDir* NtfsCompleteScan::s_dir = nullptr;
std::string NtfsCompleteScan::s_disk;
long long NtfsCompleteScan::s_secondMft = -1;
std::map<std::string, FlsEntry> NtfsCompleteScan::s_deleted[2];
std::map<std::string, FlsEntry> NtfsCompleteScan::s_all[2];
std::map<std::string, Scanned> NtfsCompleteScan::s_scans;

// Writes `node` through `recovery` to `path`; 0 on success.
RESULT RecoverWith(IDataRecovery& recovery, IFileNode* node, const std::string& path) {
  IFileReader* reader = recovery.SetRecoverNode(node);
  if (reader == nullptr) return ~1ull;
  reader->Release();
  return recovery.RecoverTo(path.c_str(), nullptr, 0);
}

}  // namespace

TEST_P(NtfsCompleteScan, FindsBothVolumesWithTheirGeometryAndIndex) {
  std::unique_ptr<IDataRecovery, RecoveryRelease> recovery(m_scan->run->controller->GetDataRecovery(kSearcherNtfs));
  ASSERT_NE(recovery, nullptr);
  auto& found = recovery->GetSearchedPartition();
  ASSERT_EQ(found.size(), 2u);
  std::map<long long, CSearchedPartitionInfo*> byStart;
  for (CSearchedPartitionInfo* p : found) byStart[p->m_llClusterBaseSector] = p;
  ASSERT_TRUE(byStart.count(kFirstStart));
  ASSERT_TRUE(byStart.count(kSecondStart));
  EXPECT_EQ(byStart[kFirstStart]->m_iSectorsPerCluster, 8);
  EXPECT_EQ(byStart[kSecondStart]->m_iSectorsPerCluster, 16);
  EXPECT_EQ(byStart[kFirstStart]->m_u16PartitionIndex, 0);
  EXPECT_EQ(byStart[kSecondStart]->m_u16PartitionIndex, 1);
  for (long long start : kStarts) {
    EXPECT_EQ(byStart[start]->m_iFileSystem, kFsNtfs);
    EXPECT_GE(byStart[start]->GetTotalSectors(), kVolumeSectors - 16);
    EXPECT_LE(byStart[start]->GetTotalSectors(), kVolumeSectors);
  }
}

// The trees hold every deleted file of both volumes at its path, with its
// size, and the live files beside them.
TEST_P(NtfsCompleteScan, TreesHoldTheFilesOfBothVolumesAtTheirPaths) {
  for (int v = 0; v < 2; ++v) {
    ASSERT_GE(s_deleted[v].size(), 12u);
    for (const auto& [path, e] : s_all[v]) {
      SCOPED_TRACE(std::to_string(v) + ":" + path);
      IFileNode* node = Node(v, path);
      ASSERT_NE(node, nullptr);
      EXPECT_EQ(node->IsDeleted() != 0, e.deleted);
      EXPECT_EQ(node->IsDirectory() != 0, e.directory);
      if (!e.directory) {
        EXPECT_EQ(node->GetFileSize(), e.size);
      }
      EXPECT_EQ(FileTimeText(node->GetModificationTime()), e.mtime);
    }
  }
}

// Files of both volumes recover as icat reads them, several in a row through
// one recovery object and, on the fully wiped disk, again through a second.
TEST_P(NtfsCompleteScan, FilesOfBothVolumesRecoverByteIdentical) {
  testsupport::TempDir out;
  std::unique_ptr<IDataRecovery, RecoveryRelease> first(m_scan->run->controller->GetDataRecovery(kSearcherNtfs));
  std::unique_ptr<IDataRecovery, RecoveryRelease> second(m_scan->run->controller->GetDataRecovery(kSearcherNtfs));
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  int n = 0;
  for (int v = 0; v < 2; ++v) {
    for (const auto& [path, e] : s_all[v]) {
      if (e.directory || e.size == 0) continue;
      SCOPED_TRACE(std::to_string(v) + ":" + path);
      IFileNode* node = Node(v, path);
      ASSERT_NE(node, nullptr);
      const Bytes expected = IcatData(s_disk, e.inode, kStarts[v]);
      for (IDataRecovery* recovery : {first.get(), second.get()}) {
        if (recovery == second.get() && std::string(GetParam().name) != "BothBootSectors") continue;
        const std::string target = out.File("f" + std::to_string(n++));
        ASSERT_EQ(RecoverWith(*recovery, node, target), 0u);
        EXPECT_EQ(ReadFileBytes(target), expected);
      }
    }
  }
  EXPECT_GE(n, 2 * 15);
}

// Root-level folders of the two volumes stay apart; the second volume's node
// ids sit above bit 40 while its records keep their own numbers and places.
TEST_P(NtfsCompleteScan, SecondVolumeNodeIdsStayOutOfRecordPositions) {
  for (int v = 0; v < 2; ++v) {
    for (const char* path : {"DOCS", "ZIPPED", "DOCS/keep.txt", "DOCS/SUB", "sparse_keep.bin"}) {
      SCOPED_TRACE(std::to_string(v) + ":" + path);
      auto* node = dynamic_cast<CNTFSFileNode*>(Node(v, path));
      ASSERT_NE(node, nullptr);
      const long long record = static_cast<long long>(s_all[v].at(path).inode);
      EXPECT_EQ(node->GetCurrentNodeID(), PartitionNodeId(record, v));
      EXPECT_EQ(node->GetCurrentNodeID() >> kPartitionIdShift, v);
      EXPECT_EQ(node->Properties()->GetFileRecordIndex(), record);
      EXPECT_EQ(static_cast<int>(node->GetBelongedPartition()), v);
      const long long place = node->Properties()->GetFileRecordStartSector();
      EXPECT_GE(place, kStarts[v]);
      EXPECT_LT(place, kStarts[v] + kVolumeSectors);
      EXPECT_EQ(node->GetMetadataStartPosition(), place);
    }
    EXPECT_NE(Node(0, "DOCS"), Node(1, "DOCS"));
    EXPECT_EQ(Node(v, "DOCS/keep.txt")->GetParent(), Node(v, "DOCS"));
  }
}

// Each recovery object gets its own copies of the partitions.
TEST_P(NtfsCompleteScan, RecoveryObjectsCanBeMadeOneAfterAnother) {
  for (int i = 0; i < 3; ++i) {
    std::unique_ptr<IDataRecovery, RecoveryRelease> recovery(m_scan->run->controller->GetDataRecovery(kSearcherNtfs));
    ASSERT_NE(recovery, nullptr);
    EXPECT_EQ(recovery->GetSearchedPartition().size(), 2u);
  }
}

// The same through the command-line tool: a whole-disk scan and recovery of
// everything, twice into one folder, on the disk with every boot sector wiped.
class NtfsCompleteScanCli : public NtfsCompleteScan {};

TEST_P(NtfsCompleteScanCli, CommandLineRecoversBothVolumesTwiceInARow) {
  const std::string cli = CliPath();
  if (cli.empty()) QUARNEL_SKIP_NO_TOOL() << "quarnel-cli is not built";
  testsupport::TempDir out;
  const std::string cmd = "'" + cli + "' recover '" + m_scan->disk + "' --disk --to '" + out.Path().string() +
                          "' >/dev/null 2>&1 </dev/null";
  EXPECT_EQ(testsupport::Run(cmd), 0);
  EXPECT_EQ(testsupport::Run(cmd), 0);
  std::size_t files = 0;
  for (int v = 0; v < 2; ++v) {
    for (const auto& [path, e] : s_all[v]) files += e.directory ? 0 : 1;
  }
  std::size_t written = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(out.Path())) {
    if (entry.is_regular_file()) ++written;
  }
  EXPECT_EQ(written, 2 * files);
}

INSTANTIATE_TEST_SUITE_P(Wipes, NtfsCompleteScan,
                         ::testing::Values(Wipe{"TableOnly", false, false, false},
                                           Wipe{"FirstBootSectors", true, false, false},
                                           Wipe{"BothBootSectors", true, true, false},
                                           Wipe{"BothBootSectorsAndSecondMft", true, true, true}),
                         [](const auto& info) { return std::string(info.param.name); });
INSTANTIATE_TEST_SUITE_P(Wipes, NtfsCompleteScanCli, ::testing::Values(Wipe{"BothBootSectors", true, true, false}),
                         [](const auto& info) { return std::string(info.param.name); });
