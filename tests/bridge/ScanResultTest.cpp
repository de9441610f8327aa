// Saving a scan result and loading it again: the trees, the partitions and
// the recovered bytes come back; damaged files are refused or partly loaded.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "bridge/BridgeTestSupport.h"
#include "bridge/JobThreads.h"
#include "bridge/MainThreadDispatcher.h"
#include "bridge/NotificationCenter.h"
#include "bridge/QVMakeDmg.h"
#include "bridge/QVSaveAndRestoreNode.h"
#include "bridge/QVUIController.h"
#include "bridge/QVUIDeviceData.h"
#include "bridge/QVUIRecovery.h"
#include "bridge/QVUIScan.h"
#include "bridge/SaveRestoreResult.h"
#include "bridge/ScanResultFile.h"
#include "core/archive/RSData.h"
#include "core/engines/EngineRegistry.h"
#include "core/model/FileNode.h"
#include "core/recovery/DataRecovery.h"
#include "core/recovery/FileReader.h"
#include "engines/RegisterAllEngines.h"
#include "hfsplus_builder/HfsPlusImageBuilder.h"
#include "support/Absent.h"
#include "support/FakeSinks.h"
#include "support/Files.h"
#include "support/TempDir.h"

using namespace bridgetest;

namespace {

using Bytes = std::vector<std::uint8_t>;

using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

// Every node of the result as one text line, sorted.
std::multiset<std::string> Canonical() {
  std::multiset<std::string> out;
  for (IFileNode* root : QVUIScan::instance()->GetFileSystemNode()) {
    std::vector<std::pair<IFileNode*, std::string>> stack{{root, std::to_string(root->GetSearcheType())}};
    while (!stack.empty()) {
      auto [node, path] = stack.back();
      stack.pop_back();
      std::string line = path + "|" + std::to_string(node->IsDirectory()) + std::to_string(node->IsDeleted()) + "|" +
                         std::to_string(node->GetFileSize()) + "|" + std::to_string(node->GetCreationTime()) + "|" +
                         std::to_string(node->GetModificationTime()) + "|" + std::to_string(node->GetAttribute());
      if (auto* f = dynamic_cast<CFileNode*>(node)) {
        line += "|p" + std::to_string(f->GetBelongedPartition());
        if (IDataRunList* runs = f->GetDataRunList()) {
          for (const DataRun* r = runs->GetFirst(); r != nullptr; r = runs->GetNext()) {
            line += "," + std::to_string(r->start) + ":" + std::to_string(r->length);
          }
        }
      }
      out.insert(line);
      for (IFileNode* c = node->GetFirstChild(); c != nullptr; c = c->GetNextNode()) {
        stack.emplace_back(c, path + "/" + (c->GetFileName() != nullptr ? c->GetFileName() : ""));
      }
    }
  }
  return out;
}

IFileNode* FindBySize(long long size) {
  for (IFileNode* root : QVUIScan::instance()->GetFileSystemNode()) {
    std::vector<IFileNode*> stack{root};
    while (!stack.empty()) {
      IFileNode* n = stack.back();
      stack.pop_back();
      if (!n->IsDirectory() && n->GetFileSize() == size) return n;
      for (IFileNode* c = n->GetFirstChild(); c != nullptr; c = c->GetNextNode()) stack.push_back(c);
    }
  }
  return nullptr;
}

[[maybe_unused]] IFileNode* FindNode(const std::string& name) {
  for (IFileNode* root : QVUIScan::instance()->GetFileSystemNode()) {
    std::vector<IFileNode*> stack{root};
    while (!stack.empty()) {
      IFileNode* n = stack.back();
      stack.pop_back();
      if (n->GetFileName() != nullptr && name == n->GetFileName()) return n;
      for (IFileNode* c = n->GetFirstChild(); c != nullptr; c = c->GetNextNode()) stack.push_back(c);
    }
  }
  return nullptr;
}

IFileNode* RootOf(IFileNode* node) {
  while (node->GetParent() != nullptr) node = node->GetParent();
  return node;
}

class ScanResult : public ::testing::Test {
 protected:
  void SetUp() override {
    bridge::DefaultQueue().BindToCurrentThread();
    QVUIController::SetRecoveryType(127);
  }
  void TearDown() override {
    QVUIController::StopScan(1);
    WaitForJobs();
  }

  // Opens a raw image of `bytes` in the device list; its disk.
  IStorageDevice* OpenImage(const std::string& path) {
    std::string error;
    const int disk = QVUIDeviceData::instance()->QVOpenImageFile(path, error);
    EXPECT_GE(disk, 0) << error;
    return QVUIDeviceData::instance()->GetDiskStorageByIndex(disk);
  }

  void Scan(IStorageDevice* device, int deep) {
    ASSERT_TRUE(QVUIController::DoScanWithDevice(device, deep));
    ASSERT_TRUE(WaitForJobs(60000));
    ASSERT_FALSE(QVUIController::IsScanRunning());
  }

  int Load(const std::string& file, const std::string& image = "") {
    std::string error;
    const int code = SaveRestoreResult::RestoreScanResult(file, QVUIScan::instance(), image, error);
    WaitForJobs();
    m_error = error;
    return code;
  }

  int Save(const std::string& file) {
    testsupport::FakeProgress progress;
    std::string error;
    const int code = SaveRestoreResult::SaveScanResult(file, &progress, error);
    m_error = error;
    const auto reports = progress.Reports();
    EXPECT_FALSE(reports.empty());
    if (!reports.empty()) {
      EXPECT_EQ(reports.back().state, kProgressFinished);
      EXPECT_EQ(static_cast<int>(reports.back().result), code);
    }
    return code;
  }

  testsupport::TempDir m_dir;
  std::string m_error;
};

// The save and load commands of the windows with their polling threads (run
// under ThreadSanitizer).
class ScanResultThreads : public ScanResult {};

std::vector<NodeSpec> ScriptedNodes() {
  const long long t1 = FileTimeUtc(2021, 5, 6, 7, 8, 9);
  const long long t2 = FileTimeUtc(1999, 12, 31, 23, 59, 58);
  return {
      {10, 0, "Docs", 0, true, false, t1, t1},
      {11, 10, "a.txt", 1234, false, false, t1, t2},
      {12, 10, "deleted.jpg", 99999, false, true, t2, t1},
      {13, 0, "top.bin", 7, false, false, 0, 0},
      {14, 10, "Sub", 0, true, true, t2, t2},
      {15, 14, "\xC3\xA9t\xC3\xA9 name.doc", 1, false, false, t1, t1},
      {16, 0, "", 5, false, false, 0, 0},
  };
}

}  // namespace

TEST_F(ScanResult, ScriptedScanRoundTripsThroughAFile) {
  ResetEngines();
  Script().nodes = ScriptedNodes();
  const std::string image = m_dir.File("disk.img");
  WriteFileBytes(image, Bytes(2 * 1024 * 1024, 0));
  IStorageDevice* disk = OpenImage(image);
  ASSERT_NE(disk, nullptr);
  Scan(disk, 1);
  const auto before = Canonical();
  ASSERT_GE(before.size(), 7u);

  const std::string file = m_dir.File("result.Quarnel");
  ASSERT_EQ(Save(file), 0) << m_error;
  EXPECT_FALSE(std::filesystem::exists(file + ".part"));
  // Saving twice rewrites the file whole.
  ASSERT_EQ(Save(file), 0) << m_error;

  scan_result_file::LoadCode code;
  SavedScan saved;
  std::string error;
  ASSERT_EQ(scan_result_file::ReadScanResult(file, saved, error), 0) << error;
  EXPECT_EQ(saved.deep, 1);
  EXPECT_EQ(saved.controllerType, kControllerWholeDisk);
  EXPECT_EQ(saved.device.row.capacity, 2 * 1024 * 1024);
  EXPECT_FALSE(saved.treesDamaged);
  ASSERT_EQ(saved.trees.size(), 1u);
  EXPECT_EQ(saved.trees[0].searcherType, 32u);
  (void)code;

  // The searcher's own end step must not add its nodes a second time.
  Script().nodes.clear();
  const int blocks = Script().blocks;
  ASSERT_EQ(Load(file), 0) << m_error;
  EXPECT_EQ(Script().blocks, blocks) << "a load must not search";
  EXPECT_EQ(Canonical(), before);
  EXPECT_FALSE(QVUIController::IsScanRunning());
}

TEST_F(ScanResult, EmptyResultAndMissingDevice) {
  ResetEngines();
  const std::string image = m_dir.File("empty.img");
  WriteFileBytes(image, Bytes(1024 * 1024, 0));
  IStorageDevice* disk = OpenImage(image);
  ASSERT_NE(disk, nullptr);
  Scan(disk, 1);
  const std::string file = m_dir.File("empty.Quarnel");
  ASSERT_EQ(Save(file), 0) << m_error;
  SavedScan saved;
  std::string error;
  ASSERT_EQ(scan_result_file::ReadScanResult(file, saved, error), 0) << error;
  EXPECT_EQ(saved.trees.size(), 0u);
  EXPECT_EQ(Load(file), 0) << m_error;
  EXPECT_TRUE(QVUIScan::instance()->GetFileSystemNode().empty());

  // A device of the saved name but another size is not taken.
  SavedScan other = saved;
  EXPECT_EQ(SaveRestoreResult::GetFromDiskVolumeData(other.device, "", error) != nullptr, true);
  other.device.row.capacity += 512;
  other.device.row.diskIndex = 999;
  EXPECT_EQ(SaveRestoreResult::GetFromDiskVolumeData(other.device, "", error), nullptr);
}

TEST_F(ScanResult, FatVolumeRoundTripRecoversTheSameBytes) {
  if (!testsupport::HaveProgram("mkfs.vfat") || !testsupport::HaveProgram("mcopy"))
    QUARNEL_SKIP_NO_TOOL() << "no mtools";
  engine_registry::Clear();
  RegisterAllEngines();
  const std::string image = m_dir.File("fat16.img");
  const std::string payload = m_dir.File("payload.bin");
  {
    Bytes data(70000);
    std::mt19937 rng(7);
    for (auto& b : data) b = static_cast<std::uint8_t>(rng());
    WriteFileBytes(payload, data);
  }
  WriteFileBytes(m_dir.File("gone.txt"), Bytes(3000, 'g'));
  ASSERT_EQ(testsupport::Run("mkfs.vfat -F 16 -n QTEST -C '" + image + "' 32768 >/dev/null 2>&1"), 0);
  ASSERT_EQ(testsupport::Run("mmd -i '" + image + "' ::/dir >/dev/null 2>&1"), 0);
  ASSERT_EQ(testsupport::Run("mcopy -i '" + image + "' '" + payload + "' ::/dir/payload.bin"), 0);
  ASSERT_EQ(testsupport::Run("mcopy -i '" + image + "' '" + m_dir.File("gone.txt") + "' ::/gone.txt"), 0);
  ASSERT_EQ(testsupport::Run("mcopy -i '" + image + "' '" + m_dir.File("gone.txt") + "' ::/dir/keep.txt"), 0);
  // The quick scan lists deleted files.
  ASSERT_EQ(testsupport::Run("mdel -i '" + image + "' ::/gone.txt ::/dir/payload.bin"), 0);

  IStorageDevice* disk = OpenImage(image);
  ASSERT_NE(disk, nullptr);
  std::vector<IStorageDevice*> volumes;
  QVUIDeviceData::instance()->GetDiskVolumeStorage(disk, volumes);
  ASSERT_FALSE(volumes.empty());
  Scan(volumes[0], 0);
  const auto before = Canonical();
  ASSERT_NE(FindBySize(70000), nullptr);
  ASSERT_NE(FindBySize(3000), nullptr);

  auto recover = [this](const std::string& out) {
    IFileNode* n = FindBySize(70000);
    ASSERT_NE(n, nullptr);
    IDataRecovery* rec = QVUIScan::instance()->GetFileNodeDataRecover(RootOf(n));
    ASSERT_NE(rec, nullptr);
    IFileReader* reader = rec->SetRecoverNode(n);
    ASSERT_NE(reader, nullptr);
    testsupport::FakeProgress progress;
    const RESULT r = rec->RecoverTo(out.c_str(), &progress, 0);
    reader->Release();
    ASSERT_FALSE(result::Failed(r));
  };
  recover(m_dir.File("first.bin"));
  ASSERT_EQ(ReadFileBytes(m_dir.File("first.bin")), ReadFileBytes(payload));

  const std::string file = m_dir.File("fat.Quarnel");
  ASSERT_EQ(Save(file), 0) << m_error;
  SavedScan saved;
  std::string error;
  ASSERT_EQ(scan_result_file::ReadScanResult(file, saved, error), 0) << error;
  ASSERT_FALSE(saved.trees.empty());
  ASSERT_FALSE(saved.trees[0].partitions.empty());

  ASSERT_EQ(Load(file, image), 0) << m_error;
  EXPECT_EQ(Canonical(), before);
  recover(m_dir.File("second.bin"));
  EXPECT_EQ(ReadFileBytes(m_dir.File("second.bin")), ReadFileBytes(payload));

  // The partition records come back field for field.
  IDataRecovery* rec = QVUIScan::instance()->GetFileNodeDataRecover(RootOf(FindBySize(70000)));
  ASSERT_NE(rec, nullptr);
  ASSERT_EQ(rec->GetSearchedPartition().size(), saved.trees[0].partitions.size());
  for (std::size_t i = 0; i < saved.trees[0].partitions.size(); ++i) {
    const auto now = rec->GetSearchedPartition()[i]->ToStoredImage();
    EXPECT_EQ(0, std::memcmp(now.data() + 16, saved.trees[0].partitions[i].block.data() + 16, 88)) << i;
  }
}

TEST_F(ScanResult, ImageCutShortAfterTheScanGivesAFailedFileNotARecoveredOne) {
  if (!testsupport::HaveProgram("mkfs.vfat") || !testsupport::HaveProgram("mcopy"))
    QUARNEL_SKIP_NO_TOOL() << "no mtools";
  engine_registry::Clear();
  RegisterAllEngines();
  const std::string image = m_dir.File("cut.img");
  const std::string payload = m_dir.File("payload.bin");
  Bytes data(70000);
  std::mt19937 rng(11);
  for (auto& b : data) b = static_cast<std::uint8_t>(rng());
  WriteFileBytes(payload, data);
  ASSERT_EQ(testsupport::Run("mkfs.vfat -F 16 -n QTEST -C '" + image + "' 32768 >/dev/null 2>&1"), 0);
  ASSERT_EQ(testsupport::Run("mcopy -i '" + image + "' '" + payload + "' ::/payload.bin"), 0);
  ASSERT_EQ(testsupport::Run("mdel -i '" + image + "' ::/payload.bin"), 0);
  IStorageDevice* disk = OpenImage(image);
  ASSERT_NE(disk, nullptr);
  std::vector<IStorageDevice*> volumes;
  QVUIDeviceData::instance()->GetDiskVolumeStorage(disk, volumes);
  ASSERT_FALSE(volumes.empty());
  Scan(volumes[0], 0);
  IFileNode* node = FindBySize(70000);
  ASSERT_NE(node, nullptr);

  // The source ends before the file's data: nothing of it can be read.
  std::filesystem::resize_file(image, 4096);
  node->SetCheck(kChecked);
  const std::string dest = m_dir.File("out") + "/";
  ASSERT_EQ(QVUIController::DoRecovery(true, dest.c_str(), "DoRecovery", nullptr), 0u);
  ASSERT_TRUE(WaitForJobs(60000));
  QVUIRecovery* recovery = QVUIRecovery::instance();
  EXPECT_EQ(recovery->GetWrittenFilesCnt(), 0u);
  EXPECT_EQ(recovery->GetFailedFilesCnt(), 1u);
  EXPECT_EQ(recovery->GetIncompleteFilesCnt(), 1u);
  node->SetCheck(kUnchecked);
}

TEST_F(ScanResult, DeletedEntryClaimingMoreThanTheVolumeIsDamagedAndCutToTheDevice) {
  if (!testsupport::HaveProgram("mkfs.vfat") || !testsupport::HaveProgram("mcopy"))
    QUARNEL_SKIP_NO_TOOL() << "no mtools";
  engine_registry::Clear();
  RegisterAllEngines();
  const std::string image = m_dir.File("claim.img");
  WriteFileBytes(m_dir.File("big.txt"), Bytes(5000, 'b'));
  ASSERT_EQ(testsupport::Run("mkfs.vfat -F 16 -n QTEST -C '" + image + "' 16384 >/dev/null 2>&1"), 0);
  ASSERT_EQ(testsupport::Run("mcopy -i '" + image + "' '" + m_dir.File("big.txt") + "' ::/big.txt"), 0);
  // The entry claims 4 GiB - 1 on a 16 MiB volume, then the file is deleted.
  Bytes bytes = ReadFileBytes(image);
  const std::string name = "BIG     TXT";
  const auto at = std::search(bytes.begin(), bytes.end(), name.begin(), name.end());
  ASSERT_NE(at, bytes.end());
  std::fill(at + 28, at + 32, 0xFF);
  WriteFileBytes(image, bytes);
  ASSERT_EQ(testsupport::Run("mdel -i '" + image + "' ::/big.txt"), 0);

  IStorageDevice* disk = OpenImage(image);
  ASSERT_NE(disk, nullptr);
  std::vector<IStorageDevice*> volumes;
  QVUIDeviceData::instance()->GetDiskVolumeStorage(disk, volumes);
  ASSERT_FALSE(volumes.empty());
  Scan(volumes[0], 0);
  // The volume's one file, listed with what its clusters on the volume hold.
  IFileNode* node = nullptr;
  for (IFileNode* root : QVUIScan::instance()->GetFileSystemNode()) {
    std::vector<IFileNode*> stack{root};
    while (!stack.empty() && node == nullptr) {
      IFileNode* n = stack.back();
      stack.pop_back();
      if (!n->IsDirectory()) node = n;
      for (IFileNode* c = n->GetFirstChild(); c != nullptr; c = c->GetNextNode()) stack.push_back(c);
    }
  }
  ASSERT_NE(node, nullptr);
  EXPECT_GT(node->GetFileSize(), 5000);
  EXPECT_LE(node->GetFileSize(), static_cast<long long>(std::filesystem::file_size(image)));
  auto* file = dynamic_cast<CFileNode*>(node);
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(file->IsDamaged());

  IDataRecovery* rec = QVUIScan::instance()->GetFileNodeDataRecover(RootOf(node));
  ASSERT_NE(rec, nullptr);
  IFileReader* reader = rec->SetRecoverNode(node);
  ASSERT_NE(reader, nullptr);
  const std::string out = m_dir.File("big.out");
  // Whether the writer calls the cut copy a failure is not what this checks:
  // what it wrote is.
  static_cast<void>(rec->RecoverTo(out.c_str(), nullptr, 0));
  reader->Release();
  ASSERT_TRUE(std::filesystem::exists(out));
  EXPECT_LE(std::filesystem::file_size(out), std::filesystem::file_size(image));
  const Bytes got = ReadFileBytes(out);
  ASSERT_GE(got.size(), 5000u);
  EXPECT_TRUE(std::all_of(got.begin(), got.begin() + 5000, [](std::uint8_t b) { return b == 'b'; }));
}

TEST_F(ScanResult, NodeRecordsKeepEveryField) {
  SavedNodeRecord r;
  r.id = -5;
  r.parentId = 1LL << 40;
  r.size = ~0ull >> 1;
  r.attribute = 0xBEEF;
  r.creationTime = -1;
  r.modificationTime = 123456789012345LL;
  r.accessTime = 42;
  r.directory = 1;
  r.deleted = 1;
  r.resident = 1;
  r.runs = {{-1, 5}, {100, 2}, {7, 70000}};
  r.name = std::string("x\0y\xFF", 4);
  r.shown = 0;
  r.partition = 3;
  r.metadataSector = -1;
  r.compressed = 1;
  Bytes frame;
  const std::uint64_t one = 1;
  for (int i = 0; i < 8; ++i) frame.push_back(static_cast<std::uint8_t>(one >> (8 * i)));
  auto put32 = [&frame](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) frame.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  put32(1);
  SavedNodeRecord root;
  scan_result_file::AppendNodeRecord(frame, root);
  put32(35);
  put32(3);
  frame.insert(frame.end(), {'V', 'o', 'l'});
  put32(0);
  put32(0);
  scan_result_file::AppendNodeRecord(frame, r);
  put32(0xFFFFFFFF);
  std::vector<SavedTree> trees;
  std::string error;
  ASSERT_TRUE(scan_result_file::ParseTrees(frame, trees, error)) << error;
  ASSERT_EQ(trees.size(), 1u);
  EXPECT_EQ(trees[0].volumeName, "Vol");
  ASSERT_EQ(trees[0].nodes.size(), 1u);
  const SavedNodeRecord& b = trees[0].nodes[0];
  EXPECT_EQ(b.id, r.id);
  EXPECT_EQ(b.parentId, r.parentId);
  EXPECT_EQ(b.size, r.size);
  EXPECT_EQ(b.attribute, r.attribute);
  EXPECT_EQ(b.creationTime, r.creationTime);
  EXPECT_EQ(b.modificationTime, r.modificationTime);
  EXPECT_EQ(b.accessTime, r.accessTime);
  EXPECT_EQ(b.directory, 1);
  EXPECT_EQ(b.deleted, 1);
  EXPECT_EQ(b.resident, 1);
  ASSERT_EQ(b.runs.size(), 3u);
  EXPECT_EQ(b.runs[0].start, -1);
  EXPECT_EQ(b.runs[2].length, 70000);
  EXPECT_EQ(b.name, r.name);
  EXPECT_EQ(b.partition, 3);
  EXPECT_EQ(b.metadataSector, -1);
  EXPECT_EQ(b.compressed, 1);
  // 88 fixed bytes, 16 per run, the name.
  Bytes one_record;
  scan_result_file::AppendNodeRecord(one_record, r);
  EXPECT_EQ(one_record.size(), 88u + 3 * 16 + 4);
}

TEST_F(ScanResult, DamagedFilesAreRefusedOrPartlyLoadedNeverACrash) {
  ResetEngines();
  Script().nodes = ScriptedNodes();
  const std::string image = m_dir.File("disk2.img");
  WriteFileBytes(image, Bytes(1024 * 1024, 0));
  IStorageDevice* disk = OpenImage(image);
  ASSERT_NE(disk, nullptr);
  Scan(disk, 1);
  const std::string file = m_dir.File("good.Quarnel");
  ASSERT_EQ(Save(file), 0) << m_error;
  const Bytes good = ReadFileBytes(file);
  ASSERT_GT(good.size(), 300u);

  // Header damage and truncation before the trees: refused with a code.
  const std::string bad = m_dir.File("bad.Quarnel");
  {
    Bytes b = good;
    b[3] ^= 0xFF;
    WriteFileBytes(bad, b);
    SavedScan s;
    std::string error;
    EXPECT_EQ(scan_result_file::ReadScanResult(bad, s, error), 3);
    EXPECT_FALSE(error.empty());
  }
  {
    WriteFileBytes(bad, Bytes(good.begin(), good.begin() + 140));
    SavedScan s;
    std::string error;
    EXPECT_EQ(scan_result_file::ReadScanResult(bad, s, error), 4) << error;
  }
  EXPECT_EQ(Load(m_dir.File("absent.Quarnel")), 2);

  // Every truncation and every single flipped byte: a code or a partial
  // load, and whatever loads is well formed.
  int partial = 0;
  for (std::size_t cut = 0; cut < good.size(); cut += 7) {
    WriteFileBytes(bad, Bytes(good.begin(), good.begin() + static_cast<long>(cut)));
    SavedScan s;
    std::string error;
    const int code = scan_result_file::ReadScanResult(bad, s, error);
    EXPECT_TRUE(code != 0 || s.treesDamaged) << cut;
    if (code == 0) ++partial;
  }
  EXPECT_GT(partial, 0);
  std::mt19937 rng(11);
  for (std::size_t at = 0; at < good.size(); ++at) {
    Bytes b = good;
    b[at] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
    WriteFileBytes(bad, b);
    SavedScan s;
    std::string error;
    (void)scan_result_file::ReadScanResult(bad, s, error);
  }
  // A few of them go through the whole load.
  for (std::size_t at : {good.size() - 5, good.size() / 2, std::size_t{200}}) {
    Bytes b = good;
    b[at] ^= 0x80;
    WriteFileBytes(bad, b);
    (void)Load(bad);
    EXPECT_FALSE(QVUIController::IsScanRunning());
  }
}

TEST_F(ScanResult, HugeCountsAreBoundedByTheFrame) {
  auto frameOf = [](std::initializer_list<std::uint32_t> words) {
    Bytes b;
    for (std::uint32_t v : words) {
      for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    return b;
  };
  struct Case {
    const char* what;
    Bytes frame;
  };
  SavedNodeRecord root;
  Bytes rootBytes;
  scan_result_file::AppendNodeRecord(rootBytes, root);
  auto tree = [&](std::initializer_list<std::uint32_t> after) {
    Bytes b = frameOf({0xFFFFFFFF, 0xFFFFFFFF, 1});  // tree count 2^64-1
    b.insert(b.end(), rootBytes.begin(), rootBytes.end());
    const Bytes tail = frameOf(after);
    b.insert(b.end(), tail.begin(), tail.end());
    return b;
  };
  std::vector<Case> cases = {
      {"huge tree count", tree({32, 0, 0})},
      {"huge volume name", tree({32, 0xFFFFFFF0})},
      {"huge partition count", tree({32, 0, 0x7FFFFFFF})},
      {"bad searcher type", tree({99, 0, 0})},
      {"node with huge run count",
       tree({32, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 0xFFFFFFFF, 0, 0, 0})},
      {"empty", Bytes{}},
  };
  for (const Case& c : cases) {
    std::vector<SavedTree> trees;
    std::string error;
    EXPECT_FALSE(scan_result_file::ParseTrees(c.frame, trees, error)) << c.what;
    EXPECT_FALSE(error.empty()) << c.what;
    EXPECT_LE(trees.size(), 1u) << c.what;
  }
  // Device frames: name lengths and image blocks.
  SavedDevice d;
  std::string error;
  Bytes dev = frameOf({0, 0, 0, 0, 0, 4097});
  EXPECT_FALSE(scan_result_file::ParseDevice(dev, d, error));
  dev = frameOf({0, 0, 0, 0, 0, 0, 1, static_cast<std::uint32_t>(-2), 0, static_cast<std::uint32_t>(-1)});
  EXPECT_FALSE(scan_result_file::ParseDevice(dev, d, error)) << "a short image block must be refused";
  dev = frameOf({0, 0, 0, 0, 0, 0, 0, static_cast<std::uint32_t>(-1), 0, static_cast<std::uint32_t>(-1)});
  EXPECT_TRUE(scan_result_file::ParseDevice(dev, d, error)) << error;
  SavedScan s;
  EXPECT_FALSE(scan_result_file::ParseScanKind(frameOf({9, 0, 0}), s, error));
  EXPECT_TRUE(scan_result_file::ParseScanKind(frameOf({8, 2, 1}), s, error));
}

TEST_F(ScanResult, SaveWithoutAScanIsRefusedAndKeepsTheOldFile) {
  QVUIScan::instance()->SaveScanSorage(nullptr);
  const std::string file = m_dir.File("keep.Quarnel");
  WriteFileBytes(file, Bytes{'o', 'l', 'd'});
  EXPECT_EQ(Save(file), SaveRestoreResult::kSaveNothing);
  EXPECT_FALSE(m_error.empty());
  EXPECT_EQ(ReadFileBytes(file), (Bytes{'o', 'l', 'd'}));
  // A destination that cannot be created.
  ResetEngines();
  const std::string image = m_dir.File("d.img");
  WriteFileBytes(image, Bytes(1024 * 1024, 0));
  Scan(OpenImage(image), 1);
  EXPECT_EQ(Save(m_dir.File("no/such/dir/x.Quarnel")), SaveRestoreResult::kSaveCannotCreate);
}

namespace {

// An MBR disk image with two FAT16 volumes, each holding one deleted file.
std::string TwoVolumeDisk(const testsupport::TempDir& dir) {
  const std::string img = dir.File("two.img");
  const std::string q = "'" + img + "'";
  WriteFileBytes(dir.File("a.txt"), Bytes(5000, 'a'));
  WriteFileBytes(dir.File("b.txt"), Bytes(7000, 'b'));
  const std::string a = "'" + dir.File("a.txt") + "'";
  const std::string b = "'" + dir.File("b.txt") + "'";
  const std::string cmd = "truncate -s 80M " + q + " && printf 'label: dos\\n2048,67584,e\\n71680,,e\\n' | sfdisk " +
                          q + " >/dev/null 2>&1 && mkfs.vfat -F 16 -n VOLA --offset 2048 " + q +
                          " 33792 >/dev/null 2>&1 && " + "mkfs.vfat -F 16 -n VOLB --offset 71680 " + q +
                          " 33792 >/dev/null 2>&1 && " + "mcopy -i " + q + "@@1048576 " + a + " ::/a.txt && mdel -i " +
                          q + "@@1048576 ::/a.txt && " + "mcopy -i " + q + "@@36700160 " + b + " ::/b.txt && mdel -i " +
                          q + "@@36700160 ::/b.txt";
  return testsupport::Run(cmd) == 0 ? img : "";
}

}  // namespace

TEST_F(ScanResult, SecondVolumeOfADiskImageIsFoundAgain) {
  const testsupport::Lack lack = testsupport::MissingTool({"sfdisk", "mkfs.vfat", "mcopy", "mdel"});
  if (!lack.empty()) QUARNEL_SKIP_LACK(lack);
  const std::string image = TwoVolumeDisk(m_dir);
  ASSERT_FALSE(image.empty()) << "sfdisk, mkfs.vfat or mtools failed";
  engine_registry::Clear();
  RegisterAllEngines();
  IStorageDevice* disk = OpenImage(image);
  ASSERT_NE(disk, nullptr);
  std::vector<IStorageDevice*> volumes;
  QVUIDeviceData::instance()->GetDiskVolumeStorage(disk, volumes);
  ASSERT_EQ(volumes.size(), 2u);
  Scan(volumes[1], 0);
  const auto before = Canonical();
  ASSERT_EQ(FindBySize(5000), nullptr);
  ASSERT_NE(FindBySize(7000), nullptr);

  const std::string file = m_dir.File("two.Quarnel");
  ASSERT_EQ(Save(file), 0) << m_error;
  SavedScan saved;
  std::string error;
  ASSERT_EQ(scan_result_file::ReadScanResult(file, saved, error), 0) << error;
  EXPECT_EQ(saved.device.row.volumeIndex, 1);
  EXPECT_EQ(saved.device.row.fileSystem, 1);
  // Found by its index in the list, and through the image path.
  for (const std::string& path : {std::string(), image}) {
    ASSERT_EQ(Load(file, path), 0) << m_error;
    EXPECT_EQ(QVUIScan::instance()->GetSavedStorage(), volumes[1]);
    EXPECT_EQ(Canonical(), before);
    IFileNode* n = FindBySize(7000);
    ASSERT_NE(n, nullptr);
    IDataRecovery* rec = QVUIScan::instance()->GetFileNodeDataRecover(RootOf(n));
    ASSERT_NE(rec, nullptr);
    IFileReader* reader = rec->SetRecoverNode(n);
    ASSERT_NE(reader, nullptr);
    testsupport::FakeProgress progress;
    const std::string out = m_dir.File("out" + std::to_string(path.size()));
    const RESULT r = rec->RecoverTo(out.c_str(), &progress, 0);
    reader->Release();
    ASSERT_FALSE(result::Failed(r));
    EXPECT_EQ(ReadFileBytes(out), Bytes(7000, 'b'));
  }
}

TEST_F(ScanResult, AppleImageResultLoadsFromTheImageRecord) {
  const std::string dir = testsupport::FixturesDir();
  if (dir.empty() || !std::filesystem::exists(dir + "/node-udif/compression-raw.dmg"))
    QUARNEL_SKIP_NO_FIXTURE() << "no fixtures";
  engine_registry::Clear();
  RegisterAllEngines();
  const std::string dmg = m_dir.File("copy.dmg");
  std::filesystem::copy_file(dir + "/node-udif/compression-raw.dmg", dmg);
  IStorageDevice* disk = OpenImage(dmg);
  ASSERT_NE(disk, nullptr);
  Scan(disk, 1);
  const auto before = Canonical();
  ASSERT_GT(before.size(), 3u);
  const std::string file = m_dir.File("dmg.Quarnel");
  ASSERT_EQ(Save(file), 0) << m_error;
  SavedScan saved;
  std::string error;
  ASSERT_EQ(scan_result_file::ReadScanResult(file, saved, error), 0) << error;
  EXPECT_EQ(saved.device.row.isAppleDmg, 1);
  ASSERT_EQ(saved.device.dmgInfo.size(), 2088u);
  ASSERT_EQ(Load(file), 0) << m_error;
  EXPECT_EQ(Canonical(), before);
  // The image is gone: the device is not found.
  std::filesystem::remove(dmg);
  EXPECT_EQ(Load(file), SaveRestoreResult::kLoadDeviceNotFound);
  EXPECT_NE(m_error.find("copy.dmg"), std::string::npos) << m_error;
}

TEST_F(ScanResult, QdiImageResultIsFoundByItsRecordOrAMovedPath) {
  ResetEngines();
  Script().nodes = ScriptedNodes();
  const std::string raw = m_dir.File("qsrc.img");
  WriteFileBytes(raw, Bytes(1024 * 1024, 0x11));
  IStorageDevice* rawDisk = OpenImage(raw);
  ASSERT_NE(rawDisk, nullptr);
  const std::string qdi = m_dir.File("made.qdi");
  std::string error;
  ASSERT_EQ(QVMakeDMG::QVShareInstance()->MakeImage(rawDisk, qdi, 0, error), 0) << error;
  IStorageDevice* disk = OpenImage(qdi);
  ASSERT_NE(disk, nullptr);
  Scan(disk, 1);
  const auto before = Canonical();
  const std::string file = m_dir.File("qdi.Quarnel");
  ASSERT_EQ(Save(file), 0) << m_error;
  SavedScan saved;
  ASSERT_EQ(scan_result_file::ReadScanResult(file, saved, error), 0) << error;
  EXPECT_EQ(saved.device.row.isQdi, 1);
  ASSERT_EQ(saved.device.qdiInfo.size(), 1192u);

  Script().nodes.clear();
  ASSERT_EQ(Load(file), 0) << m_error;
  EXPECT_EQ(Canonical(), before);
  // Moved: found only through the path given.
  const std::string moved = m_dir.File("moved.qdi");
  std::filesystem::copy_file(qdi, moved);
  ASSERT_EQ(Load(file, moved), 0) << m_error;
  EXPECT_EQ(Canonical(), before);
  // Another image of the same size is not the saved one.
  const std::string other = m_dir.File("other.qdi");
  ASSERT_EQ(QVMakeDMG::QVShareInstance()->MakeImage(rawDisk, other, 0, error), 0) << error;
  Bytes b = ReadFileBytes(other);
  b[8 + 32] ^= 0x20;  // the name differs
  WriteFileBytes(other, b);
  EXPECT_EQ(Load(file, other), SaveRestoreResult::kLoadQdiNotFound);
  EXPECT_FALSE(m_error.empty());
}

TEST_F(ScanResultThreads, WindowsCallOrderSavesAndLoadsWithFinishNotices) {
  ResetEngines();
  Script().nodes = ScriptedNodes();
  const std::string image = m_dir.File("win.img");
  WriteFileBytes(image, Bytes(1024 * 1024, 0));
  Scan(OpenImage(image), 1);
  const auto before = Canonical();
  std::atomic<int> finished{0};
  bridge::ScopedObserver watch(kQueryProgressFinish, [&finished](const std::string&) { ++finished; });
  const std::string file = m_dir.File("win.Quarnel");

  ASSERT_EQ(QVUIController::RestorPostUIUpdate(kQueryProgressInfo, 1), 0);
  ASSERT_EQ(QVUIController::beginSaveOrRestoreNode(1, file, ""), 0);
  ASSERT_TRUE(WaitForJobs());
  ASSERT_TRUE(bridge::DefaultQueue().RunUntil([&] { return finished.load() == 1; }, std::chrono::seconds(10)));
  long long total = 0, current = 0, error = -1;
  QVUIController::GetSaveorRestoreProgress(total, current, error, 1);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(current, total);
  EXPECT_TRUE(std::filesystem::exists(file));

  Script().nodes.clear();
  ASSERT_EQ(QVUIController::beginSaveOrRestoreNode(0, file, ""), 0);
  ASSERT_EQ(QVUIController::RestorPostUIUpdate(kNormalScranValue, 0), 0);
  ASSERT_TRUE(WaitForJobs());
  ASSERT_TRUE(bridge::DefaultQueue().RunUntil([&] { return finished.load() == 2; }, std::chrono::seconds(10)));
  QVUIController::GetSaveorRestoreProgress(total, current, error, 0);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(Canonical(), before);
  EXPECT_FALSE(QVUIController::IsScanRunning());

  // A damaged file ends with its code.
  WriteFileBytes(file, Bytes{1, 2, 3});
  ASSERT_EQ(QVUIController::beginSaveOrRestoreNode(0, file, ""), 0);
  ASSERT_EQ(QVUIController::RestorPostUIUpdate(kNormalScranValue, 0), 0);
  ASSERT_TRUE(WaitForJobs());
  QVUIController::GetSaveorRestoreProgress(total, current, error, 0);
  EXPECT_EQ(error, 3);
  EXPECT_FALSE(QVUIController::IsScanRunning());
}

TEST_F(ScanResultThreads, PollingStartedAfterItsLoadEndedStillFinishes) {
  std::atomic<int> finished{0};
  bridge::ScopedObserver watch(kQueryProgressFinish, [&finished](const std::string&) { ++finished; });
  const std::string file = m_dir.File("damaged.Quarnel");
  WriteFileBytes(file, Bytes{1, 2, 3});
  // The load fails and ends before its polling starts.
  ASSERT_EQ(QVUIController::beginSaveOrRestoreNode(0, file, ""), 0);
  ASSERT_TRUE(WaitForJobs());
  EXPECT_FALSE(QVUIController::IsScanRunning());
  ASSERT_EQ(QVUIController::RestorPostUIUpdate(kNormalScranValue, 0), 0);
  ASSERT_TRUE(WaitForJobs());
  ASSERT_TRUE(bridge::DefaultQueue().RunUntil([&] { return finished.load() == 1; }, std::chrono::seconds(10)));
  long long total = 0, current = 0, error = -1;
  QVUIController::GetSaveorRestoreProgress(total, current, error, 0);
  EXPECT_EQ(error, 3);
  EXPECT_EQ(current, total);
  EXPECT_FALSE(QVUIController::IsScanRunning());

  // A polling started first waits for the next load and ends with it.
  ASSERT_EQ(QVUIController::RestorPostUIUpdate(kNormalScranValue, 0), 0);
  bridge::DefaultQueue().RunUntil([] { return false; }, std::chrono::milliseconds(300));
  EXPECT_EQ(bridge::JobRegistry::instance().Alive(), 1);
  EXPECT_EQ(finished.load(), 1);
  ASSERT_EQ(QVUIController::beginSaveOrRestoreNode(0, file, ""), 0);
  ASSERT_TRUE(WaitForJobs());
  ASSERT_TRUE(bridge::DefaultQueue().RunUntil([&] { return finished.load() == 2; }, std::chrono::seconds(10)));
  QVUIController::GetSaveorRestoreProgress(total, current, error, 0);
  EXPECT_EQ(error, 3);
}

TEST_F(ScanResult, CompressedHfsPlusFilesReadThroughTheirTreesVolumeAfterALoad) {
  engine_registry::Clear();
  RegisterAllEngines();
  hfsbuilder::HfsPlusImageBuilder builder;
  Bytes text;
  for (int i = 0; i < 150000; ++i) text.push_back(static_cast<std::uint8_t>("abcdefgh\n"[i % 9] + (i / 9000)));
  hfsbuilder::FileOptions inlineZ;
  inlineZ.compression = hfsbuilder::Compression::kZlibInline;
  hfsbuilder::FileOptions forkZ;
  forkZ.compression = hfsbuilder::Compression::kZlibResource;
  builder.AddFile(hfsbuilder::HfsPlusImageBuilder::kRootFolder, "small.txt", Bytes(text.begin(), text.begin() + 3000),
                  inlineZ);
  builder.AddFile(hfsbuilder::HfsPlusImageBuilder::kRootFolder, "large.txt", text, forkZ);
  const std::string image = m_dir.File("hfs.img");
  WriteFileBytes(image, builder.Build());
  IStorageDevice* disk = OpenImage(image);
  ASSERT_NE(disk, nullptr);
  std::vector<IStorageDevice*> volumes;
  QVUIDeviceData::instance()->GetDiskVolumeStorage(disk, volumes);
  ASSERT_EQ(volumes.size(), 1u);
  Scan(volumes[0], 1);
  const auto before = Canonical();
  auto recover = [this](const std::string& name, const std::string& out) {
    IFileNode* n = FindNode(name);
    ASSERT_NE(n, nullptr) << name;
    ASSERT_EQ(n->IsCompressed(), 1) << name;
    // A complete scan keeps one recovery object per searcher type.
    IDataRecovery* rec = QVUIRecovery::instance()->GetDataRecoveryByType(kSearcherHfsPlus);
    ASSERT_NE(rec, nullptr);
    IFileReader* reader = rec->SetRecoverNode(n);
    ASSERT_NE(reader, nullptr);
    testsupport::FakeProgress progress;
    const RESULT r = rec->RecoverTo(out.c_str(), &progress, 0);
    reader->Release();
    ASSERT_FALSE(result::Failed(r)) << name;
  };
  recover("small.txt", m_dir.File("s1"));
  recover("large.txt", m_dir.File("l1"));
  ASSERT_EQ(ReadFileBytes(m_dir.File("s1")), Bytes(text.begin(), text.begin() + 3000));
  ASSERT_EQ(ReadFileBytes(m_dir.File("l1")), text);

  const std::string file = m_dir.File("hfs.Quarnel");
  ASSERT_EQ(Save(file), 0) << m_error;
  ASSERT_EQ(Load(file), 0) << m_error;
  EXPECT_EQ(Canonical(), before);
  recover("small.txt", m_dir.File("s2"));
  recover("large.txt", m_dir.File("l2"));
  EXPECT_EQ(ReadFileBytes(m_dir.File("s2")), Bytes(text.begin(), text.begin() + 3000));
  EXPECT_EQ(ReadFileBytes(m_dir.File("l2")), text);
}
