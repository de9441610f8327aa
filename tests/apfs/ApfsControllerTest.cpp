// The APFS searcher through the core's complete controller and recovery
// writer, on the Apple-made fixtures (also truncated ones).

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <memory>

#include "apfs/APFSRecognize.h"
#include "apfs/ApfsEngine.h"
#include "apfs/ApfsScanSupport.h"
#include "core/controller/RecoveryController.h"
#include "core/device/DiskDevice.h"
#include "core/engines/EngineRegistry.h"
#include "core/recovery/DataRecovery.h"
#include "core/recovery/FileReader.h"
#include "support/Absent.h"
#include "support/FakeSinks.h"
#include "support/ScanRun.h"

namespace apfstest {
namespace {

struct RecoveryRelease {
  void operator()(IDataRecovery* r) const { r->Release(); }
};

struct Run {
  std::unique_ptr<CDiskDevice> disk;
  testsupport::ScanRun scan;                // goes before the disk
  std::map<std::string, IFileNode*> nodes;  // path below the APFS root
};

std::unique_ptr<Run> ScanFixture(const std::string& relative) {
  const std::string dir = testsupport::FixturesDir();
  if (dir.empty()) return nullptr;
  auto run = std::make_unique<Run>();
  const std::string path = dir + "/" + relative;
  run->disk.reset(CreateDiskDevice(path.c_str()));
  if (run->disk->Open(nullptr) == 0) return nullptr;
  engine_registry::Clear();
  RegisterApfsEngine();
  testsupport::ScanDevice(run->scan, run->disk.get(), kControllerComplete);
  EXPECT_EQ(run->scan.result, 0u);
  std::function<void(IFileNode*, const std::string&, int)> walk = [&](IFileNode* n, const std::string& prefix,
                                                                      int depth) {
    for (IFileNode* c = n->GetFirstChild(); c != nullptr && depth < 32; c = c->GetNextNode()) {
      const std::string p = prefix + c->GetFileName();
      run->nodes[p] = c;
      walk(c, p + "/", depth + 1);
    }
  };
  for (IFilesystemNode* root : run->scan.tree.m_roots) {
    if (root->GetSearcheType() == kSearcherApfs) walk(root, "", 0);
  }
  return run;
}

std::string Recover(Run& run, IFileNode* node, const testsupport::TempDir& tmp, const std::string& name) {
  std::unique_ptr<IDataRecovery, RecoveryRelease> recovery(run.scan.controller->GetDataRecovery(kSearcherApfs));
  if (!recovery) return "<no recovery>";
  IFileReader* reader = recovery->SetRecoverNode(node);
  if (reader == nullptr) return "<no reader>";
  reader->Release();
  const std::string out = tmp.File(name);
  if (recovery->RecoverTo(out.c_str(), nullptr, 0) != 0) return "<failed>";
  return ReadFileText(out);
}

TEST(ApfsController, ContentFixtureTreeAndBytes) {
  auto run = ScanFixture("apfs-forensic/apfs_content.bin");
  if (!run) QUARNEL_SKIP_NO_FIXTURE() << "apfs-forensic fixtures not available";
  // fls -r -B 438: plain.txt, sparse.bin, compressed.txt, Dir1/Beth.txt, symlink_to_beth, .fseventsd/*.
  for (const char* path : {"plain.txt", "sparse.bin", "compressed.txt", "Dir1", "Dir1/Beth.txt", "symlink_to_beth",
                           "fseventsd", "fseventsd/fseventsd-uuid"}) {
    EXPECT_TRUE(run->nodes.count(path)) << path;
  }
  ASSERT_TRUE(run->nodes.count("plain.txt") && run->nodes.count("sparse.bin") && run->nodes.count("Dir1/Beth.txt"));
  EXPECT_EQ(run->nodes.at("sparse.bin")->GetFileSize(), 69632);
  EXPECT_EQ(run->nodes.at("plain.txt")->IsDeleted(), 0);

  testsupport::TempDir tmp;
  const std::string image = testsupport::FixturesDir() + "/apfs-forensic/apfs_content.bin";
  // compressed.txt: decmpfs type 8, its LZVN chunks in a resource-fork stream.
  const std::pair<const char*, int> files[] = {
      {"plain.txt", 18}, {"sparse.bin", 22}, {"Dir1/Beth.txt", 28}, {"compressed.txt", 23}};
  for (const auto& [path, inode] : files) {
    SCOPED_TRACE(path);
    const std::string content = Recover(*run, run->nodes.at(path), tmp, std::to_string(inode));
    EXPECT_EQ(static_cast<long long>(content.size()), run->nodes.at(path)->GetFileSize());
    const std::string expected = Icat(image, 438, inode, tmp);
    if (!expected.empty()) {
      EXPECT_EQ(content, expected);
    }
  }
  // The sparse file's 64 KiB hole reads back as zeros.
  const std::string sparse = Recover(*run, run->nodes.at("sparse.bin"), tmp, "sparse");
  ASSERT_EQ(sparse.size(), 69632u);
  EXPECT_EQ(sparse.substr(0, 65536), std::string(65536, '\0'));

  // Older copies of the root node still on disk give deleted files.
  int deleted = 0;
  for (const auto& [path, node] : run->nodes) deleted += node->IsDeleted();
  EXPECT_GT(deleted, 0);
  // 180,000 bytes per the fixture's answer key.
  EXPECT_EQ(run->nodes.at("compressed.txt")->GetFileSize(), 180000);
  EXPECT_EQ(run->nodes.at("compressed.txt")->IsCompressed(), 1);
}

TEST(ApfsController, FstreeFixtureMatchesFls) {
  auto run = ScanFixture("apfs-forensic/apfs_fstree.bin");
  if (!run) QUARNEL_SKIP_NO_FIXTURE() << "apfs-forensic fixtures not available";
  for (const char* path : {"top.txt", "Dir1", "Dir1/Beth.txt", "Dir1/Sub", "Dir1/Sub/secret.bin", "fseventsd",
                           "fseventsd/fseventsd-uuid", "fseventsd/000000001f75a30f", "fseventsd/000000001f75a310"}) {
    EXPECT_TRUE(run->nodes.count(path)) << path;
  }
  testsupport::TempDir tmp;
  ASSERT_TRUE(run->nodes.count("Dir1/Sub/secret.bin"));
  const std::string content = Recover(*run, run->nodes.at("Dir1/Sub/secret.bin"), tmp, "secret");
  const std::string expected = Icat(testsupport::FixturesDir() + "/apfs-forensic/apfs_fstree.bin", 371, 21, tmp);
  if (!expected.empty()) {
    EXPECT_EQ(content, expected);
  }
  EXPECT_EQ(content.size(), 26u);
}

TEST(ApfsController, TruncatedContainersYieldWhatTheyHold) {
  const std::string dir = testsupport::FixturesDir();
  if (dir.empty()) QUARNEL_SKIP_NO_FIXTURE() << "fixtures not available";
  const std::pair<const char*, std::size_t> cases[] = {
      {"apfs-forensic/apfs_nxsb_head.bin", 0},        // no volume reachable
      {"apfs-forensic/apfs_container_chain.bin", 1},  // empty volume: only private-dir
  };
  for (const auto& [file, count] : cases) {
    SCOPED_TRACE(file);
    auto run = ScanFixture(file);
    ASSERT_TRUE(run);
    EXPECT_EQ(run->nodes.size(), count);
  }
  // Every cut of the content fixture at a 64 KiB step.
  const std::string whole = ReadFileText(dir + "/apfs-forensic/apfs_content.bin");
  testsupport::TempDir tmp;
  for (std::size_t cut = 4096; cut < whole.size(); cut += 65536 + 4096) {
    const std::string path = tmp.File("cut.bin");
    {
      std::ofstream out(path, std::ios::binary | std::ios::trunc);
      out.write(whole.data(), static_cast<std::streamsize>(cut));
    }
    std::unique_ptr<CDiskDevice> disk(CreateDiskDevice(path.c_str()));
    ASSERT_NE(disk->Open(nullptr), 0);
    CollectingBuilder builder;
    auto scan = Sweep(disk.get(), builder);
    EXPECT_LE(scan->Readers().size(), 1u) << cut;
  }
}

TEST(ApfsController, GptDiskImageFindsTheContainerAtItsPartition) {
  const std::string dir = testsupport::FixturesDir();
  if (!testsupport::HaveProgram("gzip")) QUARNEL_SKIP_NO_TOOL() << "gzip is not installed";
  if (dir.empty()) QUARNEL_SKIP_NO_FIXTURE() << "fixtures not available";
  testsupport::TempDir tmp;
  const std::string raw = tmp.File("test.dmg");
  ASSERT_EQ(testsupport::Run("gzip -dc '" + dir + "/homebrew/dmg/test.dmg.gz' > '" + raw + "'"), 0);
  std::unique_ptr<CDiskDevice> disk(CreateDiskDevice(raw.c_str()));
  ASSERT_NE(disk->Open(nullptr), 0);
  CollectingBuilder builder;
  auto scan = Sweep(disk.get(), builder);
  ASSERT_GE(scan->Readers().size(), 1u);
  EXPECT_EQ(scan->Readers()[0]->StartSector(), 40u);
  // Block 0 holds an older superblock whose object map was never written; the
  // newest copy in the checkpoint area names the volume.
  EXPECT_EQ(scan->Readers()[0]->Name(), "untitled_0");
  std::unique_ptr<IVolumeAnalyze> v(CreateAPFSVolumeAnalyze(disk.get(), 40));
  ASSERT_TRUE(v);
  char label[64] = {};
  v->GetLabel(label, sizeof label);
  EXPECT_STREQ(label, "untitled");
}

}  // namespace
}  // namespace apfstest
