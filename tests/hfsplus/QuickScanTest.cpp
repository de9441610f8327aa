// The quick scan of a journaled volume: the files deleted since the
// journal's older leaves come back, byte for byte, through the recovery
// writer with the searcher's partition record.

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>

#include "core/controller/RecoveryController.h"
#include "core/device/DeviceData.h"
#include "core/engines/EngineRegistry.h"
#include "core/filetype/RecoveryFilter.h"
#include "core/recovery/DataRecovery.h"
#include "core/recovery/FileReader.h"
#include "core/tree/TreeBuilderFactory.h"
#include "hfsplus/CollectingBuilder.h"
#include "hfsplus/HfsPlusEngine.h"
#include "hfsplus/HfsPlusVolume.h"
#include "hfsplus/QuickSearcher.h"
#include "hfsplus/SampleVolume.h"
#include "support/FakeSinks.h"
#include "support/MemoryDevice.h"
#include "support/ScanRun.h"
#include "support/TempDir.h"

namespace {

struct Geometry {
  std::uint32_t blockSize;
  std::uint32_t sectorSize;
  bool wrap;
};

class QuickScan : public ::testing::TestWithParam<Geometry> {};

// Recovers `node` through a recovery writer made from the searcher.
hfstest::Bytes Recover(IFileSystemSearchController* searcher, IStorageDevice* device, IFileNode* node,
                       const testsupport::TempDir& tmp, const std::string& name) {
  std::unique_ptr<IDataRecovery, void (*)(IDataRecovery*)> recovery(CreateDataRecoveryObj(),
                                                                    [](IDataRecovery* r) { r->Release(); });
  EXPECT_EQ(recovery->Initialize(searcher, device), 0u);
  IFileReader* reader = recovery->SetRecoverNode(node);
  EXPECT_NE(reader, nullptr) << name;
  if (reader == nullptr) return {};
  reader->Release();
  const std::string out = tmp.File(name);
  EXPECT_EQ(recovery->RecoverTo(out.c_str(), nullptr, 0), 0u) << name;
  return hfstest::ReadFileBytes(out);
}

TEST_P(QuickScan, DeletedFilesComeBackWhole) {
  const Geometry g = GetParam();
  hfstest::SampleVolume sample(g.blockSize, g.sectorSize, g.wrap);
  testsupport::MemoryDevice device(sample.image, static_cast<int>(g.sectorSize), kDeviceVolume);
  std::unique_ptr<IQuickFileSystemSearchController> searcher(CreateHFSPlusQuickSearcher());
  hfstest::CollectingBuilder builder;
  testsupport::FakeProgress progress;
  searcher->SetDirecotryTreeBuilder(&builder);
  ASSERT_EQ(searcher->QuickSearchFiles(&device, &progress), 0u);
  EXPECT_EQ(builder.searcherInfos, 1);
  EXPECT_EQ(builder.flashBuilds, 1);
  ASSERT_FALSE(progress.Reports().empty());
  EXPECT_EQ(progress.Reports().back().state, kProgressFinished);

  // Exactly the deleted files: a record still live in the catalog adds nothing.
  const auto deleted = builder.ByPath(true);
  std::vector<std::string> names;
  for (const auto& [path, n] : deleted) names.push_back(path);
  const std::vector<std::string> expected = {"docs/deep/gone4.txt", "docs/gone.bin", "gone.txt", "gonecomp.txt"};
  ASSERT_EQ(names, expected);
  // Deleted nodes come before the live tree.
  EXPECT_EQ(builder.nodes.front()->IsDeleted(), 1);

  testsupport::TempDir tmp;
  for (std::uint32_t id : {sample.gone, sample.goneBig, sample.goneComp, sample.goneDeep}) {
    const auto& f = sample.builder.Files().at(id);
    IFileNode* node = deleted.at(sample.PathOf(id));
    EXPECT_EQ(node->GetFileSize(), static_cast<long long>(f.data.size())) << f.name;
    EXPECT_TRUE(Recover(searcher.get(), &device, node, tmp, f.name) == f.data) << f.name << " differs";
  }
}

TEST_P(QuickScan, CompressedFilesRecoverWithTheirRealSize) {
  const Geometry g = GetParam();
  hfstest::SampleVolume sample(g.blockSize, g.sectorSize, g.wrap);
  testsupport::MemoryDevice device(sample.image, static_cast<int>(g.sectorSize), kDeviceVolume);
  std::unique_ptr<IQuickFileSystemSearchController> searcher(CreateHFSPlusQuickSearcher());
  hfstest::CollectingBuilder builder;
  searcher->SetDirecotryTreeBuilder(&builder);
  ASSERT_EQ(searcher->QuickSearchFiles(&device, nullptr), 0u);
  const auto live = builder.ByPath(false);
  testsupport::TempDir tmp;
  for (std::uint32_t id : {sample.comp3, sample.comp3raw, sample.comp4, sample.comp4raw, sample.comp7, sample.comp8,
                           sample.comp8raw, sample.big, sample.forked, sample.link}) {
    const auto& f = sample.builder.Files().at(id);
    const std::string path = sample.PathOf(id);
    ASSERT_EQ(live.count(path), 1u) << path;
    IFileNode* node = live.at(path);
    EXPECT_EQ(node->GetFileSize(), static_cast<long long>(f.data.size())) << path;
    EXPECT_TRUE(Recover(searcher.get(), &device, node, tmp, f.name) == f.data) << path << " differs";
  }
}

INSTANTIATE_TEST_SUITE_P(Geometries, QuickScan,
                         ::testing::Values(Geometry{4096, 512, false}, Geometry{512, 512, false},
                                           Geometry{4096, 4096, true}, Geometry{4096, 512, true}));

TEST(QuickScanSearcher, PartitionRecordBorrowsTheVolume) {
  hfstest::SampleVolume sample(4096, 512, false);
  testsupport::MemoryDevice device(sample.image, 512, kDeviceVolume);
  std::unique_ptr<IQuickFileSystemSearchController> searcher(CreateHFSPlusQuickSearcher());
  hfstest::CollectingBuilder builder;
  searcher->SetDirecotryTreeBuilder(&builder);
  ASSERT_EQ(searcher->QuickSearchFiles(&device, nullptr), 0u);
  CSearchedPartitionInfo* none[1] = {nullptr};
  EXPECT_EQ(searcher->GetSearchedPartitionInfo(none, 0), 1);
  EXPECT_EQ(none[0], nullptr);
  CSearchedPartitionInfo* got[1] = {nullptr};
  ASSERT_EQ(searcher->GetSearchedPartitionInfo(got, 1), 1);
  EXPECT_EQ(got[0]->m_iFileSystem, kFsHfsPlus);
  EXPECT_EQ(got[0]->m_iSectorsPerCluster, 8);
  delete got[0];  // the volume stays with the searcher
  auto* hfs = dynamic_cast<CHFSPlusQuickFileSystemSearchController*>(searcher.get());
  ASSERT_NE(hfs->GetVolume(), nullptr);
  EXPECT_NE(hfs->GetVolume()->GetVolumeHeader(), nullptr);
}

TEST(QuickScanSearcher, UnjournaledVolumeYieldsItsLiveCatalog) {
  hfsbuilder::BuilderOptions o;
  o.journaled = false;
  hfsbuilder::HfsPlusImageBuilder b(o);
  b.AddFile(2, "one", hfstest::Pattern(10, 1));
  const auto gone = b.AddFile(2, "two", hfstest::Pattern(10, 2));
  b.Delete(gone);
  testsupport::MemoryDevice device(b.Build(), 512, kDeviceVolume);
  std::unique_ptr<IQuickFileSystemSearchController> searcher(CreateHFSPlusQuickSearcher());
  hfstest::CollectingBuilder builder;
  searcher->SetDirecotryTreeBuilder(&builder);
  EXPECT_EQ(searcher->QuickSearchFiles(&device, nullptr), 0u);
  EXPECT_TRUE(builder.ByPath(true).empty());
  EXPECT_EQ(builder.ByPath(false).count("one"), 1u);
}

TEST(QuickScanSearcher, AForkSizeBeyondTheDeviceIsCutAndMarkedDamaged) {
  hfsbuilder::BuilderOptions o;
  o.journaled = false;
  hfsbuilder::HfsPlusImageBuilder b(o);
  b.AddFile(2, "big", hfstest::Pattern(10007, 3));
  b.AddFile(2, "fine", hfstest::Pattern(500, 4));
  hfstest::Bytes image = b.Build();
  // The data fork's logical size (big-endian u64 10007) becomes about 27 PB.
  const std::uint8_t size[8] = {0, 0, 0, 0, 0, 0, 0x27, 0x17};
  const auto at = std::search(image.begin(), image.end(), std::begin(size), std::end(size));
  ASSERT_NE(at, image.end());
  const std::uint8_t huge[8] = {0, 0x60, 0, 0, 0, 0, 0x27, 0x17};
  std::copy(std::begin(huge), std::end(huge), at);
  const long long deviceBytes = static_cast<long long>(image.size());
  testsupport::MemoryDevice device(std::move(image), 512, kDeviceVolume);
  std::unique_ptr<IQuickFileSystemSearchController> searcher(CreateHFSPlusQuickSearcher());
  hfstest::CollectingBuilder builder;
  searcher->SetDirecotryTreeBuilder(&builder);
  EXPECT_EQ(searcher->QuickSearchFiles(&device, nullptr), 0u);
  const auto files = builder.ByPath(false);
  ASSERT_EQ(files.count("big"), 1u);
  auto* big = dynamic_cast<CFileNode*>(files.at("big"));
  ASSERT_NE(big, nullptr);
  EXPECT_TRUE(big->IsDamaged());
  EXPECT_LE(big->GetFileSize(), deviceBytes);
  auto* fine = dynamic_cast<CFileNode*>(files.at("fine"));
  ASSERT_NE(fine, nullptr);
  EXPECT_FALSE(fine->IsDamaged());
  EXPECT_EQ(fine->GetFileSize(), 500);

  testsupport::TempDir tmp;
  const hfstest::Bytes got = Recover(searcher.get(), &device, big, tmp, "big");
  EXPECT_LE(static_cast<long long>(got.size()), deviceBytes);
  ASSERT_GE(got.size(), 10007u);
  EXPECT_TRUE(std::equal(got.begin(), got.begin() + 10007, hfstest::Pattern(10007, 3).begin()));
}

TEST(QuickScanSearcher, StopRequestEndsTheScanButStillBuilds) {
  hfstest::SampleVolume sample(4096, 512, false);
  testsupport::MemoryDevice device(sample.image, 512, kDeviceVolume);
  std::unique_ptr<IQuickFileSystemSearchController> searcher(CreateHFSPlusQuickSearcher());
  hfstest::CollectingBuilder builder;
  testsupport::FakeProgress progress;
  progress.m_cancelled = true;
  searcher->SetDirecotryTreeBuilder(&builder);
  EXPECT_EQ(searcher->QuickSearchFiles(&device, &progress), 0u);
  EXPECT_LE(builder.nodes.size(), 1u);
  EXPECT_EQ(builder.flashBuilds, 1);
  EXPECT_EQ(progress.Reports().back().state, kProgressFinished);
}

// A volume device whose record says HFS+.
class HfsVolumeDevice : public testsupport::MemoryDevice {
 public:
  explicit HfsVolumeDevice(std::vector<std::uint8_t> bytes) : MemoryDevice(std::move(bytes), 512, kDeviceVolume) {
    auto* info = new CCollectedVolumeDeviceInfoStruct();
    info->fileSystem = kFsHfsPlus;
    info->totalSectors = GetTotalSectors();
    m_data.reset(CreateVolumeDeviceData(info));
  }
  IStorageDeviceData* GetPrivateData() override { return m_data.get(); }

 private:
  std::unique_ptr<IStorageDeviceData> m_data;
};

TEST(QuickScanController, RealTreeBuilderShowsTheDeletedFiles) {
  engine_registry::Clear();
  RegisterHfsPlusEngine();
  hfstest::SampleVolume sample(4096, 512, false);
  HfsVolumeDevice device(sample.image);
  testsupport::ScanRun scan;
  testsupport::ScanDevice(scan, &device, kControllerQuick);
  ASSERT_NE(scan.controller, nullptr);
  ASSERT_EQ(scan.initialized, 1);
  ASSERT_EQ(scan.result, 0u);

  std::map<std::string, IFileNode*> shown;
  for (const auto& batch : scan.tree.m_batches) {
    for (IFileNode* n : batch.nodes) {
      if (!n->IsDirectory()) shown[n->GetFileName()] = n;
    }
  }
  for (const char* name : {"gone.txt", "gone.bin", "gonecomp.txt", "gone4.txt"}) {
    ASSERT_EQ(shown.count(name), 1u) << name;
    EXPECT_EQ(shown.at(name)->IsDeleted(), 1) << name;
  }
  EXPECT_EQ(shown.count("a.txt"), 0u);  // live files are not shown by a quick scan

  std::unique_ptr<IDataRecovery, void (*)(IDataRecovery*)> recovery(scan.controller->GetDataRecovery(kSearcherHfsPlus),
                                                                    [](IDataRecovery* r) { r->Release(); });
  ASSERT_NE(recovery, nullptr);
  testsupport::TempDir tmp;
  const auto& f = sample.builder.Files().at(sample.goneComp);
  IFileReader* reader = recovery->SetRecoverNode(shown.at("gonecomp.txt"));
  ASSERT_NE(reader, nullptr);
  reader->Release();
  ASSERT_EQ(recovery->RecoverTo(tmp.File("gonecomp.txt").c_str(), nullptr, 0), 0u);
  EXPECT_TRUE(hfstest::ReadFileBytes(tmp.File("gonecomp.txt")) == f.data);
  engine_registry::Clear();
}

}  // namespace
