// Scans driven through the bridge with a scripted searcher.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "bridge/BridgeTestSupport.h"
#include "bridge/JobThreads.h"
#include "bridge/MainThreadDispatcher.h"
#include "bridge/NotificationCenter.h"
#include "bridge/QVUIController.h"
#include "bridge/QVUIScan.h"
#include "support/MemoryDevice.h"

using namespace bridgetest;

namespace {

constexpr int kMiB = 1024 * 1024;

class ScanThreads : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetEngines();
    bridge::DefaultQueue().BindToCurrentThread();
    QVUIController::SetRecoveryType(127);
    QVSetTreeRebuildHook([this](int final) {
      if (final != 0) ++m_finals;
    });
  }
  void TearDown() override {
    QVUIController::StopScan(1);
    WaitForJobs();
    QVSetTreeRebuildHook(nullptr);
  }

  // A volume of `mib` MiB: with no volume record it is scanned completely.
  testsupport::MemoryDevice& Device(int mib) {
    m_device = std::make_unique<testsupport::MemoryDevice>(std::vector<std::uint8_t>(mib * kMiB), 512, kDeviceVolume);
    return *m_device;
  }

  void StartScan(IStorageDevice& device) { ASSERT_TRUE(QVUIController::DoScanWithDevice(&device, 1)); }

  // Waits (draining posts) until `done` or a generous timeout.
  static bool Until(const std::function<bool()>& done) {
    return bridge::DefaultQueue().RunUntil(done, std::chrono::seconds(20));
  }

  std::atomic<int> m_finals{0};
  std::unique_ptr<testsupport::MemoryDevice> m_device;
};

TEST_F(ScanThreads, FoundNodesFillFolderCategoryAndDateMaps) {
  const long long march = FileTimeUtc(2024, 3, 8, 12, 0, 2);
  const long long june = FileTimeUtc(2023, 6, 15, 12, 0, 0);
  Script().nodes = {
      {10, 0, "Docs", 0, true, false, 0, 0},
      {11, 10, "minutes.txt", 100, false, false, march, june},
      {12, 10, "holiday.jpg", 2000, false, true, 0, march},
      {13, 0, "song.mp3", 300, false, false, june, june},
  };
  int posts = 0;
  bridge::ScopedObserver observer(kNormalScranValue, [&](const std::string&) { ++posts; });
  StartScan(Device(8));
  ASSERT_TRUE(WaitForJobs());

  QVUIScan* scan = QVUIScan::instance();
  EXPECT_EQ(scan->GetStatus(), kOpIdle);
  EXPECT_EQ(scan->GetScanFileCnt(), 3u);
  EXPECT_EQ(scan->GetScanFileSize(), 2400u);
  ASSERT_EQ(scan->GetFileSystemNode().size(), 1u);
  EXPECT_EQ(scan->GetFileSystemNode()[0]->GetSearcheType(), kSearcherFat);

  const QVTypeMap types = scan->GetTypeMap();
  ASSERT_EQ(types.count(kFilterDocument), 1u);
  EXPECT_STREQ(types.at(kFilterDocument)[0]->GetFileName(), "minutes.txt");
  ASSERT_EQ(types.count(kFilterPicture), 1u);
  EXPECT_STREQ(types.at(kFilterPicture)[0]->GetFileName(), "holiday.jpg");
  ASSERT_EQ(types.count(kFilterMusic), 1u);

  // A zero creation time is not filed by creation date.
  const QVTimeMap created = scan->GetCreateTimeMap();
  std::size_t createdFiles = 0;
  for (const auto& [year, months] : created) {
    for (const auto& [month, nodes] : months) createdFiles += nodes.size();
  }
  EXPECT_EQ(createdFiles, 2u);
  const QVTimeMap modified = scan->GetModifyTimeMap();
  ASSERT_EQ(modified.count(2023), 1u);
  EXPECT_EQ(modified.at(2023).at(6).size(), 2u);

  const std::vector<IFileNode*> folders = scan->QVGetAllPathNode();
  bool docs = false;
  for (IFileNode* f : folders) docs = docs || std::string(f->GetFileName()) == "Docs";
  EXPECT_TRUE(docs);

  EXPECT_EQ(m_finals.load(), 1);
  EXPECT_GE(posts, 1);
}

TEST_F(ScanThreads, PauseHoldsTheWorkerAndResumeFinishes) {
  std::atomic<bool> pausedOnce{false};
  Script().onBlock = [&](int index) {
    if (index == 0 && !pausedOnce.exchange(true)) QVUIController::PauseOrResumeScan();
  };
  Script().nodes = {{11, 0, "a.txt", 5, false, false, 0, 0}};
  StartScan(Device(16));

  ASSERT_TRUE(Until([] { return QVUIController::IsPause(); }));
  EXPECT_TRUE(QVUIController::IsScanRunning());
  // While paused no further block is analysed.
  const int seen = Script().blocks.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(Script().blocks.load(), seen);

  QVUIController::PauseOrResumeScan();
  ASSERT_TRUE(WaitForJobs());
  EXPECT_EQ(Script().blocks.load(), 4);
  EXPECT_EQ(Script().builds.load(), 1);
  EXPECT_EQ(QVUIScan::instance()->GetScanFileCnt(), 1u);
  EXPECT_FALSE(QVUIController::IsScanRunning());
  EXPECT_EQ(m_finals.load(), 1);
}

TEST_F(ScanThreads, FilesFoundGrowDuringTheSweepAndEndAtWhatTheTreesHold) {
  // The searcher recognises 5 more files in every block but gives its nodes
  // to the tree builder only at the end; it then keeps 2 of them.
  std::vector<std::uint64_t> shown;
  Script().onBlock = [&](int index) {
    double percent = 0;
    std::uint64_t files = 0;
    (void)QVUIController::GetScanProgress(percent, files);
    shown.push_back(files);
    Script().found = 5u * static_cast<std::uint64_t>(index + 1);
  };
  Script().nodes = {{11, 0, "a.txt", 5, false, false, 0, 0}, {12, 0, "b.txt", 6, false, false, 0, 0}};
  StartScan(Device(32));
  ASSERT_TRUE(WaitForJobs());
  // Each block sees the count of the report that followed the block before.
  ASSERT_EQ(shown.size(), 8u);
  for (std::size_t k = 0; k < shown.size(); ++k) EXPECT_EQ(shown[k], 5u * k) << "block " << k;
  double percent = 0;
  std::uint64_t files = 0;
  (void)QVUIController::GetScanProgress(percent, files);
  EXPECT_EQ(files, 2u);
  EXPECT_EQ(QVUIScan::instance()->GetScanFileCnt(), 2u);
}

struct StopCase {
  const char* name;
  int flag;        // StopScan argument
  int builds;      // trees built at the end
  unsigned files;  // files found
};

class StopDuringPauseThreads : public ScanThreads, public ::testing::WithParamInterface<StopCase> {};

TEST_P(StopDuringPauseThreads, EndsTheScanOnce) {
  const StopCase& c = GetParam();
  Script().onBlock = [](int index) {
    if (index == 0) QVUIController::PauseOrResumeScan();
  };
  Script().nodes = {{11, 0, "kept.txt", 7, false, false, 0, 0}};
  StartScan(Device(16));
  ASSERT_TRUE(Until([] { return QVUIController::IsPause(); }));

  QVUIController::StopScan(c.flag);
  ASSERT_TRUE(WaitForJobs());
  EXPECT_EQ(QVUIScan::instance()->GetStatus(), kOpIdle);
  EXPECT_LT(Script().blocks.load(), 4);
  EXPECT_EQ(Script().builds.load(), c.builds);
  EXPECT_EQ(QVUIScan::instance()->GetScanFileCnt(), c.files);
  EXPECT_EQ(m_finals.load(), 1);
  QVUIController::ResetShouldBuild();
}

INSTANTIATE_TEST_SUITE_P(Flags, StopDuringPauseThreads,
                         ::testing::Values(StopCase{"KeepWhatWasFound", 0, 1, 1u}, StopCase{"SkipTheTrees", 1, 0, 0u}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ScanThreads, ProgressAndRemainingTimeOnlyMoveOneWay) {
  // A scan clock that moves one second per reading keeps estimates coming.
  std::atomic<std::int64_t> clock{1000};
  QVUIScan::instance()->SetClock([&] { return clock.fetch_add(1); });
  std::atomic<bool> release{false};
  Script().onBlock = [&](int) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!release.exchange(false) && std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  };
  StartScan(Device(64));

  double lastPercent = 0;
  long long lastSeconds = -1;
  int estimates = 0;
  auto sample = [&] {
    double percent = 0;
    std::uint64_t files = 0;
    const std::string left = QVUIController::GetScanProgress(percent, files);
    EXPECT_GE(percent, lastPercent);
    lastPercent = percent;
    if (left != "-:-:-") {
      int h = 0, m = 0, s = 0;
      ASSERT_EQ(std::sscanf(left.c_str(), "%d:%d:%d", &h, &m, &s), 3) << left;
      const long long seconds = h * 3600LL + m * 60 + s;
      if (lastSeconds >= 0) {
        EXPECT_LE(seconds, lastSeconds) << left;
      }
      lastSeconds = seconds;
      ++estimates;
    }
  };
  while (bridge::JobRegistry::instance().Alive() > 0) {
    sample();
    release = true;
    bridge::DefaultQueue().RunUntil([] { return false; }, std::chrono::milliseconds(5));
  }
  sample();
  QVUIScan::instance()->SetClock([] { return static_cast<std::int64_t>(std::time(nullptr)); });
  EXPECT_EQ(Script().blocks.load(), 16);
  EXPECT_GT(estimates, 0);
  EXPECT_EQ(m_finals.load(), 1);
}

TEST_F(ScanThreads, SecondScanIsRefusedWhileOneRuns) {
  Script().onBlock = [](int index) {
    if (index == 0) QVUIController::PauseOrResumeScan();
  };
  auto& device = Device(16);
  StartScan(device);
  ASSERT_TRUE(Until([] { return QVUIController::IsPause(); }));
  EXPECT_FALSE(QVUIController::DoScanWithDevice(&device, 1));
  QVUIController::StopScan(1);
  ASSERT_TRUE(WaitForJobs());
  // Once the first has ended a new one starts.
  Script().onBlock = nullptr;
  QVUIController::ResetShouldBuild();
  StartScan(device);
  ASSERT_TRUE(WaitForJobs());
  EXPECT_EQ(m_finals.load(), 2);
}

}  // namespace
