#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <set>
#include <thread>
#include <vector>

#include "core/filetype/DefaultFileTypes.h"
#include "core/filetype/FilterTestNode.h"
#include "core/filetype/RecoveryFilter.h"

namespace {

// A filter over small, known lists (all six set, so that tests do not depend
// on one another through the process-wide lists).
std::unique_ptr<CRecoveryFilter> MakeFilter() {
  CFileTypeManager::Initialze(
      {{1, "doc;pdf;txt"}, {2, "jpg;png"}, {4, "mov;mp4"}, {8, "mp3;wav"}, {16, "zip;gz"}, {32, "eml;pst"}});
  return std::make_unique<CRecoveryFilter>();
}

FilterTestNode File(const char* name, bool deleted = false) {
  return FilterTestNode(std::string(name), false, deleted);
}
FilterTestNode Folder(const char* name) { return FilterTestNode(std::string(name), true); }

TEST(RecoveryFilter, StartsWithScanTypeZeroAndAnEmptyMask) {
  auto f = MakeFilter();
  EXPECT_EQ(f->GetScanType(), 0u);
  EXPECT_EQ(f->ShowNormalFiles(), 0);
  EXPECT_EQ(f->GetFilterTypes(), 0u);
  EXPECT_TRUE(f->GetAllowedTypes().empty());
}

TEST(RecoveryFilter, NodeTypesByLastExtension) {
  auto f = MakeFilter();
  const struct {
    const char* name;
    FILE_TYPE_ID id;
    unsigned bit;
  } cases[] = {
      {"a.JPG", kFileTypePicture, 2},    {"holiday.Png", kFileTypePicture, 2}, {"report.doc", kFileTypeDocument, 1},
      {"clip.MOV", kFileTypeMovie, 4},   {"song.mp3", kFileTypeMusic, 8},      {"archive.tar.gz", kFileTypeArchive, 16},
      {"mail.eml", kFileTypeEmail, 32},  {"x.jpg.exe", kFileTypeOther, 64},    {"README", kFileTypeOther, 64},
      {"name.", kFileTypeOther, 64},     {".jpg", kFileTypePicture, 2},        {"", kFileTypeOther, 64},
      {"a.unknown", kFileTypeOther, 64}, {"photo.jpg.", kFileTypeOther, 64},
  };
  for (const auto& c : cases) {
    FilterTestNode n = File(c.name);
    EXPECT_EQ(f->GetNodeType(&n), c.id) << c.name;
    EXPECT_EQ(f->GetNodeFileType(&n), c.bit) << c.name;
  }
  FilterTestNode unnamed(std::nullopt);
  EXPECT_EQ(f->GetNodeType(&unnamed), kFileTypeOther);
  EXPECT_EQ(f->GetNodeFileType(&unnamed), 64u);
  EXPECT_EQ(f->GetNodeType(nullptr), kFileTypeOther);
  EXPECT_EQ(f->GetNodeFileType(nullptr), 64u);
}

TEST(RecoveryFilter, FolderNamesAreClassifiedLikeFiles) {
  auto f = MakeFilter();
  FilterTestNode d = Folder("Photos.jpg");
  EXPECT_EQ(f->GetNodeFileType(&d), 2u);
}

TEST(RecoveryFilter, SetFilterTypesBuildsTheAllowedSet) {
  auto f = MakeFilter();
  const struct {
    unsigned mask;
    std::set<int> allowed;
  } cases[] = {
      {0, {}},
      {127, {}},
      {1, {2}},
      {2, {3}},
      {4, {5}},
      {8, {4}},
      {16, {6}},
      {32, {7}},
      {64, {8}},
      {2 | 8, {3, 4}},
      {126, {3, 4, 5, 6, 7, 8}},
      {63, {2, 3, 4, 5, 6, 7}},
      {128, {}},  // no category bit
      {255, {2, 3, 4, 5, 6, 7, 8}},
  };
  for (const auto& c : cases) {
    f->SetFilterTypes(c.mask);
    EXPECT_EQ(f->GetFilterTypes(), c.mask);
    EXPECT_EQ(f->GetAllowedTypes(), c.allowed) << "mask " << c.mask;
  }
}

TEST(RecoveryFilter, CategoryDecisionsByMask) {
  auto f = MakeFilter();
  FilterTestNode doc = File("a.pdf"), pic = File("a.JPG"), movie = File("a.mp4"), music = File("a.WAV"),
                 archive = File("a.tar.gz"), mail = File("a.pst"), other = File("a.bin"), bare = File("Makefile"),
                 deletedPic = File("b.png", true), deletedOther = File("b.xyz", true), folder = Folder("Documents"),
                 dottedFolder = Folder("x.jpg");
  IFileNode* files[] = {&doc, &pic, &movie, &music, &archive, &mail, &other, &bare, &deletedPic, &deletedOther};
  const struct {
    unsigned mask;
    int expected[10];  // in the order of `files`
  } cases[] = {
      {0, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1}},  {127, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
      {1, {1, 0, 0, 0, 0, 0, 0, 0, 0, 0}},  {2, {0, 1, 0, 0, 0, 0, 0, 0, 1, 0}},
      {4, {0, 0, 1, 0, 0, 0, 0, 0, 0, 0}},  {8, {0, 0, 0, 1, 0, 0, 0, 0, 0, 0}},
      {16, {0, 0, 0, 0, 1, 0, 0, 0, 0, 0}}, {32, {0, 0, 0, 0, 0, 1, 0, 0, 0, 0}},
      {64, {0, 0, 0, 0, 0, 0, 1, 1, 0, 1}}, {2 | 64, {0, 1, 0, 0, 0, 0, 1, 1, 1, 1}},
      {63, {1, 1, 1, 1, 1, 1, 0, 0, 1, 0}},
  };
  for (const auto& c : cases) {
    f->SetFilterTypes(c.mask);
    for (int i = 0; i < 10; ++i)
      EXPECT_EQ(f->IsFileNodeValid(files[i]), c.expected[i])
          << "mask " << c.mask << " file " << files[i]->GetFileName();
    // Folders pass every mask, whatever their name.
    EXPECT_EQ(f->IsFileNodeValid(&folder), 1) << "mask " << c.mask;
    EXPECT_EQ(f->IsFileNodeValid(&dottedFolder), 1) << "mask " << c.mask;
    EXPECT_EQ(f->IsFileNodeValid(nullptr), 0) << "mask " << c.mask;
  }
}

// The scan type decides whether live files are shown (ShowNormalFiles, read
// by the tree builder); the category decision itself is the same for deleted
// and live files in both scan types.
TEST(RecoveryFilter, ScanTypeDecidesOnlyWhetherLiveFilesAreShown) {
  auto f = MakeFilter();
  FilterTestNode live = File("a.jpg"), deleted = File("b.jpg", true), liveDoc = File("c.doc"),
                 deletedDoc = File("d.doc", true), folder = Folder("dir");
  for (_SCAN_TYPE type : {kScanQuick, kScanComplete}) {
    f->SetScanType(type);
    EXPECT_EQ(f->GetScanType(), static_cast<unsigned>(type));
    EXPECT_EQ(f->ShowNormalFiles(), type == kScanComplete ? 1 : 0);
    f->SetFilterTypes(kFilterPicture);
    EXPECT_EQ(f->IsFileNodeValid(&live), 1);
    EXPECT_EQ(f->IsFileNodeValid(&deleted), 1);
    EXPECT_EQ(f->IsFileNodeValid(&liveDoc), 0);
    EXPECT_EQ(f->IsFileNodeValid(&deletedDoc), 0);
    EXPECT_EQ(f->IsFileNodeValid(&folder), 1);
  }
  f->SetScanType(static_cast<_SCAN_TYPE>(7));
  EXPECT_EQ(f->ShowNormalFiles(), 1);
  f->SetScanType(kScanQuick);
  EXPECT_EQ(f->ShowNormalFiles(), 0);
}

TEST(RecoveryFilter, TheTableIsTakenWhenTheFilterIsBuilt) {
  auto f = MakeFilter();
  CFileTypeManager::Initialze({{2, "gif"}});
  FilterTestNode jpg = File("a.jpg"), gif = File("a.gif");
  EXPECT_EQ(f->GetNodeFileType(&jpg), 2u);
  EXPECT_EQ(f->GetNodeFileType(&gif), 64u);
}

TEST(RecoveryFilter, DefaultListsClassifyCommonFiles) {
  CFileTypeManager::Initialze(DefaultFileTypeLists());
  CRecoveryFilter f;
  const struct {
    const char* name;
    unsigned bit;
  } cases[] = {
      {"IMG_0001.HEIC", 2}, {"DSC_0042.NEF", 2},   {"Thesis.docx", 1}, {"budget.numbers", 1}, {"movie.MKV", 4},
      {"voice.m4a", 8},     {"backup.tar.xz", 16}, {"Inbox.mbox", 32}, {"setup.exe", 64},     {"core", 64},
  };
  for (const auto& c : cases) {
    FilterTestNode n = File(c.name);
    EXPECT_EQ(f.GetNodeFileType(&n), c.bit) << c.name;
  }
}

TEST(RecoveryFilter, CreateFilterGivesOneInstanceAndReleaseKeepsIt) {
  CFileTypeManager::Initialze(DefaultFileTypeLists());
  IRecoveryFilter* a = CreateFilter();
  ASSERT_NE(a, nullptr);
  a->Release();
  IRecoveryFilter* b = CreateFilter();
  EXPECT_EQ(a, b);
  b->SetFilterTypes(kFilterAll);
  b->SetScanType(kScanQuick);
  FilterTestNode n = File("x.jpg");
  EXPECT_EQ(b->IsFileNodeValid(&n), 1);
}

TEST(RecoveryFilterThreads, CreateFilterIsBuiltOnceAcrossThreads) {
  CFileTypeManager::Initialze(DefaultFileTypeLists());
  constexpr int kThreads = 8;
  std::vector<IRecoveryFilter*> seen(kThreads, nullptr);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) threads.emplace_back([&seen, i] { seen[i] = CreateFilter(); });
  for (auto& t : threads) t.join();
  for (IRecoveryFilter* p : seen) EXPECT_EQ(p, seen[0]);
}

// The user-interface thread changes the mask and the scan type while the
// scan thread asks about nodes: every answer is one a mask could give.
TEST(RecoveryFilterThreads, MaskChangesWhileAScanReads) {
  auto f = MakeFilter();
  FilterTestNode pic = File("a.jpg"), doc = File("a.doc"), folder = Folder("d");
  std::atomic<bool> stop{false};
  std::thread ui([&] {
    for (int i = 0; i < 20000; ++i) {
      f->SetFilterTypes(i % 2 == 0 ? kFilterPicture : kFilterDocument);
      f->SetScanType(i % 3 == 0 ? kScanComplete : kScanQuick);
    }
    stop.store(true);
  });
  long reads = 0;
  while (!stop.load() || reads == 0) {
    const int p = f->IsFileNodeValid(&pic);
    const int d = f->IsFileNodeValid(&doc);
    EXPECT_EQ(f->IsFileNodeValid(&folder), 1);
    EXPECT_TRUE(p == 0 || p == 1);
    EXPECT_TRUE(d == 0 || d == 1);
    const int show = f->ShowNormalFiles();
    EXPECT_TRUE(show == 0 || show == 1);
    ++reads;
  }
  ui.join();
  f->SetFilterTypes(kFilterDocument);
  EXPECT_EQ(f->IsFileNodeValid(&pic), 0);
  EXPECT_EQ(f->IsFileNodeValid(&doc), 1);
}

}  // namespace
