// Quick scans through the core of exFAT volumes written by exfat-fuse,
// compared with what The Sleuth Kit lists and with the original files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>

#include "core/controller/RecoveryController.h"
#include "core/engines/EngineRegistry.h"
#include "core/recovery/DataRecovery.h"
#include "core/recovery/FileReader.h"
#include "exfat/ExFatEngine.h"
#include "exfat/ExFatTestSupport.h"
#include "support/ScanRun.h"
#include "support/TempDir.h"

using namespace exfattest;

namespace {

class ExFatQuickScanImage : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    setenv("TZ", "UTC", 1);
    tzset();
    s_why = WhyNoFuseImages();
    if (!s_why.empty()) return;
    s_dir = std::make_unique<testsupport::TempDir>();
    if (!MakeFuseImage(s_dir->Path().string())) s_why = testsupport::Broken("make_exfat_image.sh failed");
  }
  static void TearDownTestSuite() { s_dir.reset(); }

  void SetUp() override {
    if (!s_why.empty()) QUARNEL_SKIP_LACK(s_why);
    RegisterExFatEngine();
  }

  static std::string Image() { return s_dir->File("ex.img"); }
  static std::string Source(const std::string& name) { return s_dir->File("src/" + name); }

  RESULT Scan(IStorageDevice* device) {
    testsupport::ScanDevice(m_run, device, kControllerQuick);
    return m_run.result;
  }

  static testsupport::Lack s_why;
  static std::unique_ptr<testsupport::TempDir> s_dir;
  testsupport::ScanRun m_run;
};

testsupport::Lack ExFatQuickScanImage::s_why;
std::unique_ptr<testsupport::TempDir> ExFatQuickScanImage::s_dir;

// The source of a deleted path in the image (see make_exfat_image.sh).
std::string SourceOf(const std::string& path) {
  const std::string name = std::filesystem::path(path).filename().string();
  if (path.starts_with("/DOCS/SUB/DEEP/")) return "SUB/DEEP/" + name;
  if (path.starts_with("/DOCS/SUB/")) return "SUB/" + name;
  if (path.starts_with("/BIGDIR/")) return "BIGDIR/" + name;
  return name;
}

// fls lists the head of an entry set cut by a cluster end under its first 15
// characters ("A rather long f"); the scan completes such a set, so it is
// matched by folder, name prefix and size.
std::map<std::string, Found>::const_iterator FindListed(const std::map<std::string, Found>& found, const Listed& e) {
  auto it = found.find(e.path);
  if (it != found.end()) return it;
  for (auto f = found.begin(); f != found.end(); ++f) {
    const std::string& p = f->first;
    if (p.size() > e.path.size() && p.starts_with(e.path) && p.find('/', e.path.size()) == std::string::npos &&
        f->second.node->GetFileSize() == e.size && f->second.node->IsDeleted()) {
      return f;
    }
  }
  return found.end();
}

// The source file; for a cut name, the file of that folder whose name starts
// with it and whose size matches.
std::string SourceFile(const std::string& path, std::int64_t size) {
  if (std::filesystem::exists(path)) return path;
  const std::filesystem::path p(path);
  for (const auto& f : std::filesystem::directory_iterator(p.parent_path())) {
    if (f.path().filename().string().starts_with(p.filename().string()) &&
        static_cast<std::int64_t>(f.file_size()) == size) {
      return f.path().string();
    }
  }
  return path;
}

TEST_F(ExFatQuickScanImage, ListsWhatFlsListsWithNamesSizesAndTimes) {
  const std::vector<Listed> expected = FlsDeleted(Image());
  ASSERT_GE(expected.size(), 20u);
  auto device = OpenVolume(Image(), kFsExFat);
  ASSERT_NE(device, nullptr);
  ASSERT_EQ(Scan(device.get()), 0u);
  const auto found = TreeByPath(m_run.tree);
  for (const Listed& e : expected) {
    SCOPED_TRACE(e.path);
    if (IsCutHeadOfLiveFile(s_dir->File("live.txt"), e)) continue;
    auto it = FindListed(found, e);
    ASSERT_NE(it, found.end());
    IFileNode* node = it->second.node;
    EXPECT_TRUE(node->IsDeleted());
    EXPECT_EQ(node->IsDirectory() != 0, e.directory);
    EXPECT_EQ(node->GetFileSize(), e.size);
    if (!e.directory) {
      EXPECT_EQ(UnixSeconds(node->GetModificationTime()), e.mtime);
    }
  }
  // The kept files and folders are not shown as deleted.
  for (const char* live : {"/DOCS/keep.txt", "/b_keep.bin"}) {
    auto it = found.find(live);
    if (it != found.end()) {
      EXPECT_FALSE(it->second.node->IsDeleted()) << live;
    }
  }
  const auto reports = m_run.progress.Reports();
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(reports.back().state, kProgressFinished);
}

// BIGDIR shrank when its files were deleted: fls lists the head of the set
// cut by its first cluster's end under 15 characters; the rest lies in the
// freed cluster the folder had grown into, which is not the one after its
// first. The scan finds it there and lists the whole name.
TEST_F(ExFatQuickScanImage, ASetCutByTheEndOfAShrunkFolderIsJoinedWithItsRest) {
  const std::vector<Listed> expected = FlsDeleted(Image());
  auto device = OpenVolume(Image(), kFsExFat);
  ASSERT_NE(device, nullptr);
  ASSERT_EQ(Scan(device.get()), 0u);
  const auto found = TreeByPath(m_run.tree);
  int cut = 0;
  for (const Listed& e : expected) {
    if (!e.path.starts_with("/BIGDIR/") || e.path.ends_with(".txt")) continue;
    SCOPED_TRACE(e.path);
    ++cut;
    EXPECT_EQ(found.count(e.path), 0u);
    auto it = FindListed(found, e);
    ASSERT_NE(it, found.end());
    EXPECT_TRUE(std::filesystem::exists(Source(SourceOf(it->first)))) << it->first;
  }
  EXPECT_EQ(cut, 1);
}

TEST_F(ExFatQuickScanImage, RecoversEveryDeletedFileByteForByte) {
  auto device = OpenVolume(Image(), kFsExFat);
  ASSERT_NE(device, nullptr);
  ASSERT_EQ(Scan(device.get()), 0u);
  std::unique_ptr<IDataRecovery, void (*)(IDataRecovery*)> recovery(m_run.controller->GetDataRecovery(kSearcherExFat),
                                                                    [](IDataRecovery* r) { r->Release(); });
  ASSERT_NE(recovery, nullptr);
  testsupport::TempDir out;
  int recovered = 0;
  for (const Listed& e : FlsDeleted(Image())) {
    if (e.directory || e.size == 0) continue;
    SCOPED_TRACE(e.path);
    const auto found = TreeByPath(m_run.tree);
    if (IsCutHeadOfLiveFile(s_dir->File("live.txt"), e)) continue;
    auto it = FindListed(found, e);
    ASSERT_NE(it, found.end());
    IFileReader* reader = recovery->SetRecoverNode(it->second.node);
    ASSERT_NE(reader, nullptr);
    reader->Release();
    const std::string target = out.File("r" + std::to_string(recovered));
    ASSERT_EQ(recovery->RecoverTo(target.c_str(), nullptr, 0), 0u);
    EXPECT_TRUE(ReadFileBytes(target) == ReadFileBytes(SourceFile(Source(SourceOf(it->first)), e.size)));
    ++recovered;
  }
  EXPECT_GE(recovered, 15);
}

TEST_F(ExFatQuickScanImage, AVolumeThatIsNotExFatFailsWithAnError) {
  testsupport::TempDir dir;
  const std::string fat = dir.File("fat.img");
  ASSERT_EQ(testsupport::Run("truncate -s 8M '" + fat + "' && mkfs.vfat '" + fat + "' >/dev/null"), 0);
  const std::string zeros = dir.File("zeros.img");
  ASSERT_EQ(testsupport::Run("truncate -s 1M '" + zeros + "'"), 0);
  for (const std::string& path : {fat, zeros}) {
    SCOPED_TRACE(path);
    testsupport::RecordingTree tree;
    m_run.tree = testsupport::RecordingTree();
    auto device = OpenVolume(path, kFsExFat);
    ASSERT_NE(device, nullptr);
    const RESULT r = Scan(device.get());
    EXPECT_TRUE(result::Failed(r));
    EXPECT_EQ(result::ModuleOf(r), result::kModuleFatSearch);
    EXPECT_EQ(result::CodeOf(r), 0xCu);
    EXPECT_EQ(m_run.controller->GetDataRecovery(kSearcherExFat), nullptr);
  }
}

}  // namespace
