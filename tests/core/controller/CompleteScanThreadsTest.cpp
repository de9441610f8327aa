// Pause and stop of a complete scan running on its own thread, as the user
// interface drives it.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/cache/PatternDevice.h"
#include "core/controller/RecordingSearchers.h"
#include "core/controller/RecoveryController.h"
#include "support/FakeSinks.h"

using namespace controllertest;
using namespace std::chrono_literals;
using testsupport::PatternDevice;
using testsupport::RecordingTree;

namespace {

constexpr long long kBlock = 8192;

// Continued() blocks while paused and answers 0 once cancelled.
class PausableProgress : public IProgress {
 public:
  void UpdateProgress(_PROGRESS_INFO* info) override {
    std::lock_guard g(m_lock);
    m_reports.push_back(*info);
  }
  int Continued() override {
    std::unique_lock g(m_lock);
    ++m_blocked;
    m_cv.notify_all();
    m_cv.wait(g, [&] { return !m_paused || m_cancelled; });
    --m_blocked;
    return m_cancelled ? 0 : 1;
  }
  int shouldBuild() override { return 1; }

  void Pause() {
    std::lock_guard g(m_lock);
    m_paused = true;
  }
  void Resume() {
    std::lock_guard g(m_lock);
    m_paused = false;
    m_cv.notify_all();
  }
  void Cancel() {
    std::lock_guard g(m_lock);
    m_cancelled = true;
    m_cv.notify_all();
  }
  // Waits until the scan thread sits in Continued() while paused.
  bool WaitUntilHeld(std::chrono::milliseconds limit) {
    std::unique_lock g(m_lock);
    return m_cv.wait_for(g, limit, [&] { return m_paused && m_blocked > 0; });
  }
  std::size_t ReportCount() {
    std::lock_guard g(m_lock);
    return m_reports.size();
  }
  std::vector<_PROGRESS_INFO> Reports() {
    std::lock_guard g(m_lock);
    return m_reports;
  }

 private:
  std::mutex m_lock;
  std::condition_variable m_cv;
  bool m_paused = false;
  bool m_cancelled = false;
  int m_blocked = 0;
  std::vector<_PROGRESS_INFO> m_reports;
};

class CompleteScanThreads : public RegistryTest {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    RegisterCompleteSearchers({kSearcherHfsPlus, kSearcherRawByType});
    // Pause after the fourth block.
    SearcherJournal::Get().SetBlockHook([this](int type, long long start) {
      if (type == kSearcherRawByType && start == 3 * kBlock) m_progress.Pause();
    });
  }

  std::future<RESULT> StartScan(IRecoveryController* c, IStorageDevice* device) {
    return std::async(std::launch::async, [=, this] { return c->StartDataRecovery(device, &m_progress, &m_tree); });
  }

  AcceptAllFilter m_filter;
  PausableProgress m_progress;
  RecordingTree m_tree;
};

std::size_t Blocks(int type) { return SearcherJournal::Get().Events(type, "block").size(); }

}  // namespace

TEST_F(CompleteScanThreads, PauseHoldsTheSweepUntilResumed) {
  PatternDevice device(kBlock * 12);
  device.RecordReads(false);
  ControllerPtr c(CreateRecoveryController(kControllerComplete));
  c->Initialize(&m_filter);
  auto scan = StartScan(c.get(), &device);

  ASSERT_TRUE(m_progress.WaitUntilHeld(20s));
  const std::size_t reports = m_progress.ReportCount();
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(Blocks(kSearcherHfsPlus), 4u);
  EXPECT_EQ(Blocks(kSearcherRawByType), 4u);
  EXPECT_EQ(m_progress.ReportCount(), reports);

  m_progress.Resume();
  ASSERT_EQ(scan.wait_for(60s), std::future_status::ready);
  EXPECT_EQ(scan.get(), 0u);
  EXPECT_EQ(Blocks(kSearcherHfsPlus), 12u);
  EXPECT_EQ(Blocks(kSearcherRawByType), 12u);
  EXPECT_EQ(SearcherJournal::Get().Events(kSearcherRawByType, "end").size(), 1u);
  EXPECT_EQ(m_progress.Reports().back().state, kProgressFinished);
}

TEST_F(CompleteScanThreads, StopWhilePausedEndsTheScanPromptly) {
  PatternDevice device(kBlock * 200);
  device.RecordReads(false);
  ControllerPtr c(CreateRecoveryController(kControllerWholeDisk));
  c->Initialize(&m_filter);
  auto scan = StartScan(c.get(), &device);

  ASSERT_TRUE(m_progress.WaitUntilHeld(20s));
  const auto t0 = std::chrono::steady_clock::now();
  m_progress.Cancel();
  ASSERT_EQ(scan.wait_for(20s), std::future_status::ready);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, 10s);
  EXPECT_EQ(scan.get(), 0u) << "a cancel is no failure";
  EXPECT_EQ(Blocks(kSearcherHfsPlus), 4u);
  EXPECT_EQ(SearcherJournal::Get().Events(kSearcherHfsPlus, "end").size(), 1u);
  EXPECT_TRUE(SearcherJournal::Get().Events(kSearcherRawByType, "end").empty());
  EXPECT_EQ(m_progress.Reports().back().state, kProgressFinished);
  // Read-ahead stopped: 4 blocks handed out, at most a queue more read.
  EXPECT_LE(device.ReadCount(), 4 + 10 + 1);
}

// A stop while the sweep runs, from the user-interface thread.
TEST_F(CompleteScanThreads, StopDuringTheSweepEndsIt) {
  SearcherJournal::Get().SetBlockHook(nullptr);
  PatternDevice device(kBlock * 400);
  device.RecordReads(false);
  ControllerPtr c(CreateRecoveryController(kControllerComplete));
  c->Initialize(&m_filter);
  auto scan = StartScan(c.get(), &device);

  while (Blocks(kSearcherHfsPlus) < 2) std::this_thread::sleep_for(1ms);
  m_progress.Cancel();
  ASSERT_EQ(scan.wait_for(20s), std::future_status::ready);
  EXPECT_EQ(scan.get(), 0u);
  EXPECT_LT(Blocks(kSearcherHfsPlus), 400u);
  EXPECT_EQ(m_progress.Reports().back().state, kProgressFinished);
}

// The searchers look at each block side by side, each reading it through the
// cache: all of them get every block once, in order, with its own bytes;
// nobody takes a block before all are done with the one before, and the
// carving starts on a block only after the HFS+ searcher (which marks the
// bitmap the carving reads) is done with it.
TEST_F(CompleteScanThreads, SearchersShareEachBlockSideBySide) {
  engine_registry::Clear();
  const std::vector<_tagSearcherType> types = {kSearcherHfsPlus,   kSearcherExFat, kSearcherFat,
                                               kSearcherRawByType, kSearcherNtfs,  kSearcherApfs};
  RegisterCompleteSearchers(types);
  std::mutex lock;
  std::map<int, long long> lastBlock;  // type -> start of its last block
  long long hfsDone = -1;
  bool rawBeforeHfs = false;
  bool aheadOfOthers = false;
  SearcherJournal::Get().SetBlockHook([&](int type, long long start) {
    // A carving that ran beside the HFS+ searcher would finish first.
    if (type == kSearcherHfsPlus) std::this_thread::sleep_for(2ms);
    std::lock_guard g(lock);
    for (const auto& [other, at] : lastBlock) {
      if (other != type && at < start - kBlock) aheadOfOthers = true;
    }
    lastBlock[type] = start;
    if (type == kSearcherHfsPlus) hfsDone = start;
    if (type == kSearcherRawByType && hfsDone != start) rawBeforeHfs = true;
  });
  SearcherJournal::Get().SetBlockCheck([](const std::uint8_t* bytes, long long start, long long count, int ss) {
    for (long long i = 0; i < count; ++i) {
      if (!PatternDevice::Check(bytes + i * ss, start + i, ss)) return false;
    }
    return true;
  });
  const long long total = kBlock * 24 + 7;
  PatternDevice device(total);
  device.RecordReads(false);
  ControllerPtr c(CreateRecoveryController(kControllerWholeDisk));
  c->Initialize(&m_filter);
  ASSERT_EQ(c->StartDataRecovery(&device, &m_progress, &m_tree), 0u);

  EXPECT_TRUE(SearcherJournal::Get().BadBlocks().empty());
  EXPECT_FALSE(rawBeforeHfs);
  EXPECT_FALSE(aheadOfOthers);
  for (const _tagSearcherType type : types) {
    const auto blocks = SearcherJournal::Get().Events(type, "block");
    ASSERT_EQ(blocks.size(), 25u) << type;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
      EXPECT_EQ(blocks[i].a, static_cast<long long>(i) * kBlock);
      EXPECT_EQ(blocks[i].b, i + 1 < blocks.size() ? kBlock : 7);
    }
    EXPECT_EQ(SearcherJournal::Get().Events(type, "end").size(), 1u);
  }
  // The sweep's reports count the blocks in order.
  std::uint64_t done = 0;
  for (const _PROGRESS_INFO& r : m_progress.Reports()) {
    if (r.state != kProgressRunning) continue;
    EXPECT_GE(r.done, done);
    done = r.done;
  }
  EXPECT_EQ(done, 25u * 4 / 5);
}
