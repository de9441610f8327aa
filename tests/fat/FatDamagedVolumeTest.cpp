// The quick scan over damaged copies of real volumes: what can be proved is
// listed, nothing loops, nothing reads outside its buffers.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/device/DeviceData.h"
#include "fat/FatCompleteSearcher.h"
#include "fat/FatFileNode.h"
#include "fat/FatQuickSearcher.h"
#include "fat/FatScanHarness.h"
#include "fat/ImageFile.h"
#include "support/FakeSinks.h"

namespace {

// An image in memory presented as a volume with a FAT record.
class MemoryVolume : public testsupport::MemoryDevice {
 public:
  MemoryVolume(std::vector<std::uint8_t> bytes, int fsCode) : MemoryDevice(std::move(bytes), 512, kDeviceVolume) {
    auto* info = new CCollectedVolumeDeviceInfoStruct();
    info->fileSystem = static_cast<std::uint32_t>(fsCode);
    SetPrivateData(CreateVolumeDeviceData(info));
  }
};

// Keeps every node it is given, by name.
class KeepingBuilder : public testsupport::NodeSink {
 public:
  ~KeepingBuilder() override {
    for (IFileNode* n : m_nodes) n->Release();
  }
  int AddNode(IFileNode* node, _tagSearcherType) override {
    if (node->GetCurrentNodeID() == node->GetParentNodeID()) return 0;
    m_nodes.push_back(node);
    return 1;
  }
  void FlashBuild(_tagSearcherType) override { ++m_flushes; }

  std::multimap<std::string, IFileNode*> ByName() const {
    std::multimap<std::string, IFileNode*> out;
    for (IFileNode* n : m_nodes) out.emplace(n->GetFileName() != nullptr ? n->GetFileName() : "", n);
    return out;
  }
  std::vector<IFileNode*> m_nodes;
  int m_flushes = 0;
};

struct QuickRun {
  RESULT result = 0;
  KeepingBuilder builder;
  testsupport::FakeProgress progress;
};

std::unique_ptr<QuickRun> Quick(MemoryVolume& volume, bool cancel = false) {
  auto run = std::make_unique<QuickRun>();
  run->progress.m_cancelled = cancel;
  std::unique_ptr<IQuickFileSystemSearchController> searcher(CreateFATQuickSearcher());
  searcher->SetDirecotryTreeBuilder(&run->builder);
  run->result = searcher->QuickSearchFiles(&volume, &run->progress);
  return run;
}

class FatDamagedVolume : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::Lack why;
    const std::string dir = fattest::ImagesDir(&why);
    if (dir.empty()) QUARNEL_SKIP_LACK(why);
    m_fat16 = fattest::ReadBytes(dir + "/fat16.img");
    m_fat32Path = dir + "/fat32.img";
  }
  // Offset of the first entry named `name11` in the image.
  static std::size_t Find(const std::vector<std::uint8_t>& image, const char* name11) {
    const std::string needle(name11, 11);
    const std::string hay(image.begin(), image.end());
    const auto at = hay.find(needle);
    return at == std::string::npos ? 0 : at;
  }
  std::vector<std::uint8_t> m_fat16;
  std::string m_fat32Path;
};

TEST_F(FatDamagedVolume, AFolderEntryPointingAtItsAncestorEndsTheWalk) {
  std::vector<std::uint8_t> image = m_fat16;
  const std::size_t docs = Find(image, "DOCS       ");
  const std::size_t sub = Find(image, "\xE5UB        ");
  ASSERT_NE(docs, 0u);
  ASSERT_NE(sub, 0u);
  // The deleted SUB folder now names DOCS's cluster, and is live.
  image[sub] = 'S';
  image[sub + 26] = image[docs + 26];
  image[sub + 27] = image[docs + 27];
  MemoryVolume volume(image, 1);
  auto run = Quick(volume);
  EXPECT_EQ(run->result, 0u);
  EXPECT_LT(run->builder.m_nodes.size(), 200u);
  EXPECT_EQ(run->builder.ByName().count("Long File Name Report.txt"), 1u);
}

TEST_F(FatDamagedVolume, AnUnreadableFolderIsSkippedAndTheRestListed) {
  std::vector<std::uint8_t> image = m_fat16;
  const std::size_t docs = Find(image, "DOCS       ");
  const unsigned cluster = image[docs + 26] | (image[docs + 27] << 8);
  MemoryVolume volume(image, 1);
  volume.FailSector(164 + (cluster - 2) * 4);
  auto run = Quick(volume);
  EXPECT_EQ(run->result, 0u);
  const auto names = run->builder.ByName();
  EXPECT_EQ(names.count("DOCS"), 1u);
  EXPECT_EQ(names.count("Long File Name Report.txt"), 0u);
  EXPECT_EQ(names.count("#ICS"), 1u);
  EXPECT_EQ(names.count("#hoto1.jpg"), 1u);
}

// The boot sector claims more than the device holds: the record and every
// run stay inside the device.
TEST_F(FatDamagedVolume, AShortDeviceBoundsTheRecordAndTheRuns) {
  std::vector<std::uint8_t> image = m_fat16;
  image.resize(image.size() / 4);
  MemoryVolume volume(image, 1);
  auto run = Quick(volume);
  EXPECT_EQ(run->result, 0u);
  std::unique_ptr<IQuickFileSystemSearchController> searcher(CreateFATQuickSearcher());
  KeepingBuilder builder;
  searcher->SetDirecotryTreeBuilder(&builder);
  testsupport::FakeProgress progress;
  ASSERT_EQ(searcher->QuickSearchFiles(&volume, &progress), 0u);
  CSearchedPartitionInfo* record = nullptr;
  ASSERT_EQ(searcher->GetSearchedPartitionInfo(&record, 1), 1);
  EXPECT_EQ(record->GetTotalSectors(), static_cast<long long>(image.size() / 512));
  delete record;
  const long long clusters = (static_cast<long long>(image.size() / 512) - 164) / 4;
  for (IFileNode* n : builder.m_nodes) {
    IDataRunList* runs = static_cast<CFATFileNode*>(n)->GetDataRunList();
    if (runs == nullptr) continue;
    for (const DataRun* r = runs->GetFirst(); r != nullptr; r = runs->GetNext())
      EXPECT_LE(r->start + r->length, clusters);
  }
}

TEST_F(FatDamagedVolume, ADamagedBootSectorOrAFat12TypeIsRefused) {
  std::vector<std::uint8_t> image = m_fat16;
  image[510] = 0;
  MemoryVolume damaged(image, 1);
  auto run = Quick(damaged);
  EXPECT_EQ(result::CodeOf(run->result), 0xCu);
  EXPECT_EQ(run->builder.m_flushes, 1) << "the builder still flushes";
  EXPECT_EQ(run->progress.Reports().back().state, kProgressFinished);

  MemoryVolume fat12(m_fat16, 0);
  auto refused = Quick(fat12);
  EXPECT_EQ(result::CodeOf(refused->result), 0xCu);
  EXPECT_TRUE(fat12.Reads().empty()) << "refused before any read";
}

TEST_F(FatDamagedVolume, AFat32VolumeWithADamagedBootSectorIsReadFromItsBackup) {
  std::vector<std::uint8_t> image = fattest::ReadBytes(m_fat32Path);
  std::fill(image.begin(), image.begin() + 512, 0);
  MemoryVolume volume(image, 2);
  auto run = Quick(volume);
  EXPECT_EQ(run->result, 0u);
  EXPECT_EQ(run->builder.ByName().count("Long File Name Report.txt"), 1u);
}

TEST_F(FatDamagedVolume, ACancelEndsTheBuildWithCodeD) {
  MemoryVolume volume(m_fat16, 1);
  auto run = Quick(volume, true);
  EXPECT_EQ(result::ModuleOf(run->result), result::kModuleFatSearch);
  EXPECT_EQ(result::CodeOf(run->result), 0xDu);
  EXPECT_EQ(run->builder.m_flushes, 1);
}

// Made-up folders are numbered from DIR0 again in every complete scan.
TEST_F(FatDamagedVolume, CompleteScansNumberMadeUpFoldersAfresh) {
  std::vector<std::uint8_t> image = m_fat16;
  // No boot sector and no root folder: sub-folders only.
  std::fill(image.begin(), image.begin() + 512, 0);
  std::fill(image.begin() + 132 * 512, image.begin() + 164 * 512, 0);
  std::vector<std::string> firsts;
  for (int pass = 0; pass < 2; ++pass) {
    MemoryVolume volume(image, 1);
    KeepingBuilder builder;
    std::unique_ptr<ICompleteFileSystemSearchController> searcher(CreateFATSearcher());
    searcher->SetDevice(&volume);
    searcher->SetBlockSize(8192);
    searcher->SetDirecotryTreeBuilder(&builder);
    searcher->PreparetoSearch();
    searcher->AnalyzeBlock(0, volume.GetTotalSectors());
    searcher->EndSearch(1);
    std::string first;
    for (IFileNode* n : builder.m_nodes) {
      const std::string name = n->GetFileName();
      if (name.rfind("DIR", 0) == 0 && (first.empty() || name < first)) first = name;
    }
    firsts.push_back(first);
  }
  EXPECT_EQ(firsts[0], "DIR0");
  EXPECT_EQ(firsts[1], "DIR0");
}

}  // namespace
