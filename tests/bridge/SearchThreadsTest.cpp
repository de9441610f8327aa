// Search in the scan's results: shown flags by name, the four trees rebuilt
// from the matches, the posts, refusal while a search is on, stopping.

#include <gtest/gtest.h>

#include <chrono>

#include "bridge/JobThreads.h"
#include "bridge/MainThreadDispatcher.h"
#include "bridge/NotificationCenter.h"
#include "bridge/ResultTreesTestSupport.h"
#include "support/MemoryDevice.h"

using namespace bridgetest;

namespace {

constexpr int kMiB = 1024 * 1024;
constexpr const char* kKey = "DoSearchValue";

long long Mid(int year, int month) { return FileTimeUtc(year, month, 15, 12, 0, 0); }

const std::vector<NodeSpec> kNodes = {
    {10, 0, "Docs", 0, true, false, 0, 0},
    {11, 10, "minutes.txt", 100, false, false, Mid(2024, 3), Mid(2023, 6)},
    {12, 10, "holiday.jpg", 2000, false, false, Mid(2022, 2), Mid(2024, 3)},
    {13, 0, "song.mp3", 300, false, false, Mid(2023, 6), Mid(2023, 6)},
    {14, 10, "Sub", 0, true, false, 0, 0},
    {15, 14, "notes.TXT", 50, false, false, Mid(2024, 3), Mid(2024, 3)},
    {16, 0, "Textbook.pdf", 7, false, false, Mid(2021, 1), Mid(2021, 1)},
};

class SearchThreads : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetEngines();
    bridge::DefaultQueue().BindToCurrentThread();
    QVUIController::SetRecoveryType(127);
    QVUIController::SetViewType(0);
    m_trees.Register();
    Script().nodes = kNodes;
    m_device = std::make_unique<testsupport::MemoryDevice>(std::vector<std::uint8_t>(8 * kMiB), 512, kDeviceVolume);
    ASSERT_TRUE(QVUIController::DoScanWithDevice(m_device.get(), 1));
    ASSERT_TRUE(WaitForJobs());
    QVUIController::RefreshData();
    QVUIController::GetScanTreeNodeData(&m_trees.path, 0);
  }
  void TearDown() override {
    QVUIController::StopSearch();
    WaitForJobs();
    QVUIController::QVResetTreeNodeData();
    QVSetTreeRebuildHook(nullptr);
  }

  // Starts a search and drains posts until it has finished.
  std::vector<std::string> Search(const std::string& text) {
    std::vector<std::string> posts;
    bridge::ScopedObserver key(kKey, [&](const std::string& n) { posts.push_back(n); });
    bridge::ScopedObserver end(g_str_DO_SEARCH_FINISH, [&](const std::string& n) { posts.push_back(n); });
    EXPECT_EQ(QVUIController::DoSearchWithString(text, nullptr, kKey), 1);
    EXPECT_TRUE(WaitForJobs());
    bridge::DefaultQueue().RunPending();
    QVUIController::StopSearch();
    return posts;
  }

  std::vector<std::string> ShownFiles() {
    std::vector<std::string> out;
    for (const auto& [category, nodes] : QVUIScan::instance()->GetTypeMap()) {
      for (IFileNode* n : nodes) {
        if (n->IsNodeShow()) out.emplace_back(n->GetFileName());
      }
    }
    std::sort(out.begin(), out.end());
    return out;
  }

  treetest::Trees m_trees;
  std::unique_ptr<testsupport::MemoryDevice> m_device;
};

TEST_F(SearchThreads, NamesMatchBySubstringWhateverTheCase) {
  struct Case {
    const char* text;
    std::vector<std::string> shown;
  };
  const Case cases[] = {
      {"TXT", {"minutes.txt", "notes.TXT"}},
      {"tex", {"Textbook.pdf"}},
      {"o", {"holiday.jpg", "notes.TXT", "song.mp3", "Textbook.pdf"}},
      {"nothing-like-it", {}},
  };
  for (const Case& c : cases) {
    Search(c.text);
    std::vector<std::string> expected = c.shown;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(ShownFiles(), expected) << c.text;
    std::vector<IFileNode*> rows;
    QVUIController::GetSearchResultToArr(&rows);
    EXPECT_EQ(rows.size(), expected.size()) << c.text;
    EXPECT_EQ(QVUIController::GetSearchString(), c.text);
  }
}

TEST_F(SearchThreads, TheTreesHoldExactlyTheMatches) {
  const std::vector<std::string> posts = Search("txt");
  EXPECT_EQ(posts, (std::vector<std::string>{kKey, g_str_DO_SEARCH_FINISH}));
  EXPECT_EQ(treetest::Dump(m_trees.path), "<root>\n  Docs\n    Sub\n");
  EXPECT_EQ(treetest::Dump(m_trees.type),
            "Documents\n  txt\n    - minutes.txt\n    - notes.TXT\nPictures\nMovies\nMusic\nArchives\nE-mail\nOther\n");
  EXPECT_EQ(treetest::Dump(m_trees.created), "Creation date\n  2024\n    03\n      - minutes.txt\n      - notes.TXT\n");
  EXPECT_EQ(treetest::Dump(m_trees.modified),
            "Modification date\n  2023\n    06\n      - minutes.txt\n  2024\n    03\n      - notes.TXT\n");
}

TEST_F(SearchThreads, AMatchUnderTheRootShowsTheRootOnly) {
  Search("song");
  EXPECT_EQ(treetest::Dump(m_trees.path), "<root>\n");
}

TEST_F(SearchThreads, AnEmptyTextShowsEverything) {
  Search("txt");
  Search("");
  EXPECT_EQ(ShownFiles().size(), 5u);
  std::vector<IFileNode*> rows;
  QVUIController::GetSearchResultToArr(&rows);
  EXPECT_TRUE(rows.empty());
  EXPECT_EQ(QVUIController::GetSearchString(), "");
  EXPECT_EQ(QVUIController::GetNodeChildrenCnt(m_trees.created.front().get()), 5u);
  EXPECT_EQ(treetest::Dump(m_trees.path), "<root>\n  Docs\n    Sub\n");
}

TEST_F(SearchThreads, ASecondSearchIsRefusedUntilTheFirstIsStopped) {
  ASSERT_EQ(QVUIController::DoSearchWithString("txt", nullptr, kKey), 1);
  EXPECT_EQ(QVUIController::DoSearchWithString("jpg", nullptr, kKey), 0);
  EXPECT_EQ(QVUIController::GetSearchString(), "txt");
  EXPECT_EQ(QVUIController::QVGetIsSearching(), 1);
  QVUIController::StopSearch();
  EXPECT_EQ(QVUIController::QVGetIsSearching(), 0);
  // The new search replaces the stopped one; both threads end.
  ASSERT_EQ(QVUIController::DoSearchWithString("jpg", nullptr, kKey), 1);
  ASSERT_TRUE(WaitForJobs());
  EXPECT_EQ(ShownFiles(), (std::vector<std::string>{"holiday.jpg"}));
  EXPECT_EQ(treetest::Dump(m_trees.created), "Creation date\n  2022\n    02\n      - holiday.jpg\n");
}

TEST_F(SearchThreads, ManyStopsAndStartsLeaveTheTreesOfTheLastSearch) {
  const char* texts[] = {"txt", "o", "jpg", "mp3", "pdf", "txt"};
  for (int round = 0; round < 5; ++round) {
    for (const char* t : texts) {
      ASSERT_EQ(QVUIController::DoSearchWithString(t, nullptr, kKey), 1);
      bridge::DefaultQueue().RunPending();
      (void)treetest::Dump(m_trees.type);
      QVUIController::StopSearch();
    }
  }
  ASSERT_TRUE(WaitForJobs());
  bridge::DefaultQueue().RunPending();
  // The last search ran unless it was stopped before it began; either way
  // the trees agree with the shown flags.
  std::size_t listed = 0;
  for (const OpNodePtr& g : m_trees.type) listed += QVUIController::GetNodeChildrenCnt(g.get());
  EXPECT_EQ(listed, ShownFiles().size());
}

TEST_F(SearchThreads, StartingASearchUnchecksWhatTheCategoryTreeListed) {
  for (const OpNodePtr& g : m_trees.type) g->setNodeState(kChecked);
  std::uint64_t size = 0;
  EXPECT_EQ(QVUIController::GetSelectedFilesAndSize(size).size(), 5u);
  Search("txt");
  size = 0;
  EXPECT_TRUE(QVUIController::GetSelectedFilesAndSize(size).empty());
}

TEST_F(SearchThreads, TheWindowsKeyFollowsTheTreeOfTheCurrentView) {
  QVUIController::SetViewType(2);
  std::vector<std::string> posts;
  std::size_t createdWhenKeyArrived = 0;
  bridge::ScopedObserver key(kKey, [&](const std::string& n) {
    posts.push_back(n);
    createdWhenKeyArrived = treetest::Dump(m_trees.created).size();
  });
  bridge::ScopedObserver end(g_str_DO_SEARCH_FINISH, [&](const std::string& n) { posts.push_back(n); });
  ASSERT_EQ(QVUIController::DoSearchWithString("mp3", nullptr, kKey), 1);
  ASSERT_TRUE(bridge::DefaultQueue().RunUntil([&] { return posts.size() == 2; }, std::chrono::seconds(20)));
  EXPECT_EQ(posts, (std::vector<std::string>{kKey, g_str_DO_SEARCH_FINISH}));
  EXPECT_GT(createdWhenKeyArrived, 0u);
  QVUIController::SetViewType(0);
}

}  // namespace
