#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <set>

#include "core/model/FileNode.h"
#include "core/recovery/DataRecovery.h"
#include "ntfs/NtfsRebuildImages.h"
#include "ntfs/NtfsScanSupport.h"
#include "ntfs/NtfsTestImages.h"
#include "support/Absent.h"
#include "support/TempDir.h"

using namespace ntfstest;

namespace {

constexpr long long kFirstStart = 2048;
constexpr long long kSecondStart = 2048 + 131072 + 2048;
constexpr long long kVolumeSectors = 131072;
constexpr long long kCopyCluster = 14336;  // 56 MiB into the volume

struct Scanned {
  std::unique_ptr<IStorageDevice> device;
  std::unique_ptr<ScanRun> run;
};

// Volumes a quick scan cannot open, made once for the suite.
class NtfsRebuild : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_missing = ImageToolsMissing();
    if (!s_missing.empty()) return;
    s_missing = testsupport::MissingTool({"sfdisk"});
    if (!s_missing.empty()) return;
    s_dir = new testsupport::TempDir();
  }
  static void TearDownTestSuite() {
    s_scans.clear();
    delete s_dir;
    s_dir = nullptr;
  }
  void SetUp() override {
    if (!s_missing.empty()) QUARNEL_SKIP_LACK(s_missing);
  }

  // Makes the image a test scans, once per run: ctest runs every test in a
  // process of its own, so each makes only what it reads.
  static bool Made(const std::string& image) {
    if (s_made.count(image)) return true;
    bool ok = false;
    if (image == "reformat.img") {
      ok = MakeReformattedVolume(s_dir->File(image), s_dir->File("reformat"));
    } else if (image == "two.img") {
      ok = MakeTwoMftVolume(s_dir->File(image), s_dir->File("two"), kCopyCluster);
    } else if (image == "disk.img") {
      ok = MakeManyFilesVolume(s_dir->File("a.img"), s_dir->File("a")) &&
           MakeManyFilesVolume(s_dir->File("b.img"), s_dir->File("b")) && MakeWipedDisk();
    }
    if (ok) s_made.insert(image);
    return ok;
  }

  // Two volumes on a disk; the table, the second volume's boot sectors, its
  // first 16 FILE records ($MFT to $Extend) and its $MFTMirr are wiped.
  static bool MakeWipedDisk() {
    const std::string disk = s_dir->File("disk.img");
    const std::string cmd = "truncate -s 132M '" + disk + "' && printf 'label: dos\n" + std::to_string(kFirstStart) +
                            ",131072,7\n" + std::to_string(kSecondStart) + ",131072,7\n' | sfdisk -q '" + disk +
                            "' && dd if='" + s_dir->File("a.img") + "' of='" + disk +
                            "' bs=512 seek=" + std::to_string(kFirstStart) +
                            " conv=notrunc,sparse status=none && dd if='" + s_dir->File("b.img") + "' of='" + disk +
                            "' bs=512 seek=" + std::to_string(kSecondStart) + " conv=notrunc,sparse status=none";
    if (testsupport::Run(cmd) != 0) return false;
    const Bytes boot = ReadFileBytes(s_dir->File("b.img"));
    if (boot.size() < 512) return false;
    const auto u64 = [&](std::size_t at) {
      long long v = 0;
      for (int i = 7; i >= 0; --i) v = v * 256 + boot[at + static_cast<std::size_t>(i)];
      return v;
    };
    const long long spc = boot[0x0D];
    const std::vector<std::pair<long long, long long>> wipes{{0, 1},
                                                             {kSecondStart, 1},
                                                             {kSecondStart + kVolumeSectors - 1, 1},
                                                             {kSecondStart + u64(0x30) * spc, 32},
                                                             {kSecondStart + u64(0x38) * spc, spc}};
    for (const auto& [sector, count] : wipes) {
      if (testsupport::Run("dd if=/dev/zero of='" + disk + "' bs=512 seek=" + std::to_string(sector) +
                           " count=" + std::to_string(count) + " conv=notrunc status=none") != 0) {
        return false;
      }
    }
    return true;
  }

  // The scan of a made image; null (with a failure) when a present tool
  // could not make it.
  static ScanRun* ScanOf(const std::string& image) {
    if (!Made(image)) {
      ADD_FAILURE() << "the test image " << image << " could not be made";
      return nullptr;
    }
    auto it = s_scans.find(image);
    if (it == s_scans.end()) {
      Scanned s;
      s.device = OpenDisk(s_dir->File(image));
      s.run = Scan(*s.device, kControllerWholeDisk);
      it = s_scans.emplace(image, std::move(s)).first;
    }
    return it->second.run.get();
  }

  static IFileNode* Node(ScanRun& run, const std::string& path) {
    auto it = run.nodes.find(path);
    return it == run.nodes.end() ? nullptr : it->second;
  }

  // Recovers the node and compares it with its source file.
  static void ExpectRecovered(ScanRun& run, const std::string& path, const std::string& source) {
    SCOPED_TRACE(path);
    IFileNode* node = Node(run, path);
    ASSERT_NE(node, nullptr);
    testsupport::TempDir out;
    const std::string target = out.File("f");
    ASSERT_EQ(Recover(run, node, target), 0u);
    EXPECT_EQ(ReadFileBytes(target), ReadFileBytes(source));
  }

  static testsupport::Lack s_missing;
  static std::set<std::string> s_made;
  static testsupport::TempDir* s_dir;
  static std::map<std::string, Scanned> s_scans;
};

testsupport::Lack NtfsRebuild::s_missing;
std::set<std::string> NtfsRebuild::s_made;
testsupport::TempDir* NtfsRebuild::s_dir = nullptr;
std::map<std::string, Scanned> NtfsRebuild::s_scans;

std::string Two(int i) { return (i < 10 ? "0" : "") + std::to_string(i); }

}  // namespace

// The old records of Sub and its files lie past the new, smaller $MFT; they
// come back at their paths and recover as they were written.
TEST_F(NtfsRebuild, QuickReformatKeepsSubAndItsFiles) {
  ScanRun* scanned = ScanOf("reformat.img");
  ASSERT_NE(scanned, nullptr);
  ScanRun& run = *scanned;
  IFileNode* sub = Node(run, "0:Top/Sub");
  ASSERT_NE(sub, nullptr);
  EXPECT_NE(sub->IsDirectory(), 0);
  int children = 0;
  for (IFileNode* c = sub->GetFirstChild(); c != nullptr; c = c->GetNextNode()) ++children;
  EXPECT_EQ(children, 40);
  for (int i = 0; i < 40; ++i) {
    ExpectRecovered(run, "0:Top/Sub/sub" + Two(i) + ".bin", s_dir->File("reformat/Top/Sub/sub" + Two(i) + ".bin"));
  }
  for (int i = 0; i < 40; i += 7) {
    ExpectRecovered(run, "0:root" + Two(i) + ".bin", s_dir->File("reformat/root" + Two(i) + ".bin"));
  }
}

// The files of the copy of $MFT made before the a-files were replaced come
// back from its own tree beside the live b-files.
TEST_F(NtfsRebuild, EveryMftOfAVolumeGivesItsOwnTree) {
  ScanRun* scanned = ScanOf("two.img");
  ASSERT_NE(scanned, nullptr);
  ScanRun& run = *scanned;
  for (int i = 0; i < 10; ++i) {
    const std::string n = std::to_string(i);
    IFileNode* a = Node(run, "0:a" + n + ".bin");
    ASSERT_NE(a, nullptr) << "a" << n;
    EXPECT_EQ(a->GetFileSize(), 5000 + i * 700);
    ExpectRecovered(run, "0:b" + n + ".bin", s_dir->File("two/b" + n + ".bin"));
  }
  std::unique_ptr<IDataRecovery, RecoveryRelease> recovery(run.controller->GetDataRecovery(kSearcherNtfs));
  ASSERT_NE(recovery, nullptr);
  EXPECT_EQ(recovery->GetSearchedPartition().size(), 1u);
}

// Without boot sectors, $MFT records or $MFTMirr, the second volume is
// placed by its folder's index records and its files are read from the FILE
// records found inside it.
TEST_F(NtfsRebuild, WipedVolumeIsRebuiltFromIndexRecords) {
  ScanRun* scanned = ScanOf("disk.img");
  ASSERT_NE(scanned, nullptr);
  ScanRun& run = *scanned;
  std::unique_ptr<IDataRecovery, RecoveryRelease> recovery(run.controller->GetDataRecovery(kSearcherNtfs));
  ASSERT_NE(recovery, nullptr);
  std::map<long long, CSearchedPartitionInfo*> byStart;
  for (CSearchedPartitionInfo* p : recovery->GetSearchedPartition()) byStart[p->m_llClusterBaseSector] = p;
  ASSERT_EQ(byStart.size(), 2u);
  ASSERT_TRUE(byStart.count(kSecondStart));
  EXPECT_EQ(byStart[kSecondStart]->m_iSectorsPerCluster, 8);
  EXPECT_EQ(byStart[kSecondStart]->m_u16PartitionIndex, 1);
  for (int v = 0; v < 2; ++v) {
    const std::string src = v == 0 ? "a" : "b";
    for (int i = 0; i < 60; i += 5) {
      const std::string name = "a file with a long name number " + Two(i) + ".bin";
      ExpectRecovered(run, std::to_string(v) + ":Many/" + name, s_dir->File(src + "/Many/" + name));
    }
    ExpectRecovered(run, std::to_string(v) + ":root3.bin", s_dir->File(src + "/root3.bin"));
  }
}
