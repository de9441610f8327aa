// The project's own images: The Sleuth Kit accepts them, and the volume
// reader lists and reads what was put in.

#include <gtest/gtest.h>

#include "hfsplus/CollectingBuilder.h"
#include "hfsplus/HfsPlusFileNode.h"
#include "hfsplus/HfsPlusVolume.h"
#include "hfsplus/HfsTestSupport.h"
#include "hfsplus/QuickSearchProgress.h"
#include "hfsplus/SampleVolume.h"
#include "support/Absent.h"
#include "support/MemoryDevice.h"
#include "support/TempDir.h"

namespace {

struct Geometry {
  std::uint32_t blockSize;
  std::uint32_t sectorSize;
  bool wrap;
};

class BuilderImage : public ::testing::TestWithParam<Geometry> {};

TEST_P(BuilderImage, SleuthKitReadsEveryFile) {
  if (!hfstest::HaveSleuthKit()) QUARNEL_SKIP_NO_TOOL() << "The Sleuth Kit is not installed";
  const Geometry g = GetParam();
  hfstest::SampleVolume sample(g.blockSize, g.sectorSize, g.wrap);
  testsupport::TempDir tmp;
  const std::string image = tmp.File("v.img");
  hfstest::WriteFile(image, sample.image);

  const std::string fsstat = hfstest::Capture("fsstat '" + image + "' 2>&1");
  EXPECT_NE(fsstat.find("Volume Name: TestVol"), std::string::npos) << fsstat;
  EXPECT_NE(fsstat.find("Allocation Block Size: " + std::to_string(g.blockSize)), std::string::npos) << fsstat;
  EXPECT_NE(fsstat.find("Journaled"), std::string::npos) << fsstat;

  const auto listed = hfstest::ListWithFls(image);
  for (const auto& [id, f] : sample.builder.Files()) {
    const std::string path = sample.PathOf(id);
    if (f.deleted) {
      EXPECT_EQ(listed.count(path), 0u) << path;
      continue;
    }
    ASSERT_EQ(listed.count(path), 1u) << path;
    // icat does not follow hard links by the link's id; the walk test checks those.
    if (id == sample.link || id == sample.linked) continue;
    const std::string content = hfstest::Capture("icat '" + image + "' " + std::to_string(id));
    EXPECT_TRUE(content == std::string(f.data.begin(), f.data.end())) << path << " differs";
  }
}

TEST_P(BuilderImage, CatalogWalkMatchesTheBuilder) {
  const Geometry g = GetParam();
  hfstest::SampleVolume sample(g.blockSize, g.sectorSize, g.wrap);
  testsupport::MemoryDevice device(sample.image, static_cast<int>(g.sectorSize), kDeviceVolume);
  CHFSPlusVolume volume(&device, false);
  ASSERT_EQ(volume.GetLastResult(), 0u);
  hfstest::CollectingBuilder builder;
  CHFSPlusQuickFileSystemSearchProgress progress(nullptr, true);
  ASSERT_EQ(volume.Traverse(4, &builder, &progress), 0u);
  const auto found = builder.ByPath(false);
  for (const auto& [id, f] : sample.builder.Files()) {
    const std::string path = sample.PathOf(id);
    if (f.deleted) {
      EXPECT_EQ(found.count(path), 0u) << path;
      continue;
    }
    ASSERT_EQ(found.count(path), 1u) << path;
    IFileNode* n = found.at(path);
    EXPECT_EQ(n->GetFileSize(), static_cast<long long>(f.data.size())) << path;
    EXPECT_EQ(n->IsDirectory(), 0) << path;
    EXPECT_EQ(n->GetSearcheType(), kSearcherHfsPlus);
  }
}

INSTANTIATE_TEST_SUITE_P(Geometries, BuilderImage,
                         ::testing::Values(Geometry{4096, 512, false}, Geometry{512, 512, false},
                                           Geometry{4096, 4096, false}, Geometry{8192, 4096, true},
                                           Geometry{4096, 512, true}));

TEST(BuilderImage, VolumeWithoutAttributesFileOpens) {
  hfsbuilder::BuilderOptions o;
  o.attributesFile = false;
  o.journaled = false;
  hfsbuilder::HfsPlusImageBuilder b(o);
  const auto id = b.AddFile(2, "plain.txt", hfstest::Pattern(5000, 1));
  const auto image = b.Build();
  testsupport::MemoryDevice device(image, 512, kDeviceVolume);
  CHFSPlusVolume volume(&device, false);
  EXPECT_EQ(volume.GetLastResult(), 0u);
  EXPECT_EQ(volume.GetAttributes(), nullptr);
  hfstest::CollectingBuilder builder;
  CHFSPlusQuickFileSystemSearchProgress progress(nullptr, true);
  ASSERT_EQ(volume.Traverse(4, &builder, &progress), 0u);
  const auto found = builder.ByPath(false);
  ASSERT_EQ(found.count("plain.txt"), 1u);
  EXPECT_EQ(found.at("plain.txt")->GetCurrentNodeID(), id);
}

TEST(BuilderImage, HfsxKeepsCaseDistinctNames) {
  hfsbuilder::BuilderOptions o;
  o.hfsx = true;
  hfsbuilder::HfsPlusImageBuilder b(o);
  b.AddFile(2, "abc", hfstest::Pattern(10, 1));
  b.AddFile(2, "ABC", hfstest::Pattern(20, 2));
  const auto image = b.Build();
  testsupport::MemoryDevice device(image, 512, kDeviceVolume);
  CHFSPlusVolume volume(&device, false);
  ASSERT_EQ(volume.GetLastResult(), 0u);
  HFSPlusSearchResult r;
  HFSPlusCatalogRecord rec;
  ASSERT_EQ(volume.SearchCatalog(MakeCatalogKey(2, u"ABC"), r, &rec), 0u);
  ASSERT_EQ(r.found, 1);
  EXPECT_EQ(rec.dataFork.logicalSize, 20u);
  ASSERT_EQ(volume.SearchCatalog(MakeCatalogKey(2, u"abc"), r, &rec), 0u);
  EXPECT_EQ(rec.dataFork.logicalSize, 10u);
}

TEST(BuilderImage, PlainHfsFoldsCaseWhateverTheCompareByteSays) {
  hfstest::SampleVolume sample(4096, 512, false);
  testsupport::MemoryDevice device(sample.image, 512, kDeviceVolume);
  CHFSPlusVolume volume(&device, false);
  ASSERT_EQ(volume.GetLastResult(), 0u);
  HFSPlusSearchResult r;
  ASSERT_EQ(volume.SearchCatalog(MakeCatalogKey(2, u"A.TXT"), r, nullptr), 0u);
  EXPECT_EQ(r.found, 1);
}

TEST(BuilderImage, SearchOnAnUnknownTreeFails) {
  hfstest::SampleVolume sample(4096, 512, false);
  testsupport::MemoryDevice device(sample.image, 512, kDeviceVolume);
  CHFSPlusVolume volume(&device, false);
  EXPECT_EQ(result::CodeOf(volume.CheckTree(5)), 3u);
  EXPECT_EQ(result::CodeOf(volume.Traverse(3, nullptr, nullptr)), 3u);
}

TEST(BuilderImage, OpenedWithoutCatalogStillReadsAttributes) {
  hfstest::SampleVolume sample(4096, 512, false);
  testsupport::MemoryDevice device(sample.image, 512, kDeviceVolume);
  CHFSPlusVolume volume(&device, true);
  EXPECT_EQ(result::CodeOf(volume.GetLastResult()), 5u);
  EXPECT_EQ(volume.GetCatalog(), nullptr);
  std::vector<std::uint8_t> data;
  EXPECT_GT(volume.getAttribute(sample.comp3, "com.apple.decmpfs", data), 16u);
  EXPECT_EQ(volume.getAttribute(sample.forked, "user.note", data), 5u);
}

TEST(BuilderImage, HardLinkReadsAsItsInodeFile) {
  hfstest::SampleVolume sample(4096, 512, false);
  testsupport::MemoryDevice device(sample.image, 512, kDeviceVolume);
  CHFSPlusVolume volume(&device, false);
  hfstest::CollectingBuilder builder;
  CHFSPlusQuickFileSystemSearchProgress progress(nullptr, true);
  ASSERT_EQ(volume.Traverse(4, &builder, &progress), 0u);
  const auto found = builder.ByPath(false);
  ASSERT_EQ(found.count("docs/link.txt"), 1u);
  IFileNode* link = found.at("docs/link.txt");
  EXPECT_EQ(link->IsDirectory(), 0);
  EXPECT_EQ(link->GetFileSize(), static_cast<long long>(sample.builder.Files().at(sample.linked).data.size()));
}

TEST(FileNode, CloneIsAnUnlinkedCopy) {
  hfstest::SampleVolume sample(4096, 512, false);
  testsupport::MemoryDevice device(sample.image, 512, kDeviceVolume);
  CHFSPlusVolume volume(&device, false);
  HFSPlusSearchResult r;
  HFSPlusCatalogRecord rec;
  const auto key = MakeCatalogKey(2, u"a.txt");
  ASSERT_EQ(volume.SearchCatalog(key, r, &rec), 0u);
  CHFSPlusFileNode node(&volume, &key, &rec, 0);
  IFileNode* copy = node.Clone();
  ASSERT_NE(copy, &node);
  EXPECT_STREQ(copy->GetFileName(), "a.txt");
  EXPECT_EQ(copy->GetFileSize(), node.GetFileSize());
  EXPECT_EQ(copy->GetParent(), nullptr);
  copy->Release();
}

TEST(FileNode, RulesOfTheQuickConstructor) {
  HFSPlusCatalogKey key = MakeCatalogKey(2, std::u16string(4, u'\0') + u"HFS+ Private Data");
  HFSPlusCatalogRecord folder;
  folder.recordType = 1;
  folder.id = 16;
  CHFSPlusFileNode priv(nullptr, &key, &folder, 1);
  EXPECT_STREQ(priv.GetFileName(), "HFS+ Private Data");
  EXPECT_EQ(priv.IsDeleted(), 1);
  folder.id = 2;
  CHFSPlusFileNode root(nullptr, &key, &folder, 1);
  EXPECT_EQ(root.IsDeleted(), 0);

  HFSPlusCatalogRecord file;
  file.recordType = 2;
  file.id = 30;
  file.dataFork.totalBlocks = 3;
  CHFSPlusFileNode sized(nullptr, &key, &file, 0);
  EXPECT_EQ(sized.GetFileSize(), 3 * 4096);
  EXPECT_EQ(sized.GetCreationTime(), 0);
  file.fileType = 0x66647270;  // 'fdrp'
  CHFSPlusFileNode dirLink(nullptr, &key, &file, 0);
  EXPECT_EQ(dirLink.IsDirectory(), 1);
}

}  // namespace

#include "core/engines/EngineRegistry.h"
#include "core/volume/VolumeAnalyzeController.h"
#include "hfsplus/HfsPlusEngine.h"

namespace {

TEST(Recognition, RegisteredRecogniserFindsHfsPlusOnBothSectorSizes) {
  engine_registry::Clear();
  RegisterHfsPlusEngine();
  for (std::uint32_t ss : {512u, 4096u}) {
    hfstest::SampleVolume sample(4096, ss, false);
    testsupport::MemoryDevice device(sample.image, static_cast<int>(ss), kDeviceVolume);
    const RecognizedVolume v = RecognizeVolume(&device, 0);
    EXPECT_EQ(v.fileSystem, kFsHfsPlus) << ss;
    EXPECT_EQ(v.totalSectors, static_cast<long long>(sample.image.size() / ss)) << ss;
    EXPECT_TRUE(v.label.empty());
  }
  std::unique_ptr<IQuickFileSystemSearchController> searcher(engine_registry::CreateQuickSearcher(kFsHfsPlus));
  EXPECT_NE(searcher, nullptr);
  engine_registry::Clear();
}

}  // namespace
