// The continue check that the searchers of a complete scan make before every
// sector, asked from several threads at once while another thread pauses,
// resumes and stops the job.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "bridge/QVUIOperation.h"
#include "carving/NotifyCenter.h"
#include "core/controller/SerializedSinks.h"

namespace {

using namespace std::chrono_literals;

class Operation : public QVUIOperation {
 public:
  void UpdateProgress(_PROGRESS_INFO* info) override { SetProgressInfo(*info); }
};

// Forgets the carving's sink when the test ends.
struct CenterSink {
  explicit CenterSink(IProgress* sink) { CNotifyCenter::Instance().SetProgress(sink); }
  ~CenterSink() { CNotifyCenter::Instance().Reset(); }
  CenterSink(const CenterSink&) = delete;
  CenterSink& operator=(const CenterSink&) = delete;
};

void WaitUntil(const std::function<bool()>& ready) {
  while (!ready()) std::this_thread::yield();
}

// Callers that ask through the carving's gate until they are told to stop,
// noting every answer that came while it should not have.
class Callers {
 public:
  explicit Callers(int count)
      : m_calls(static_cast<std::size_t>(count)), m_askedWhilePaused(m_calls.size()), m_inCall(m_calls.size()) {
    for (int t = 0; t < count; ++t) m_threads.emplace_back([this, t] { Ask(static_cast<std::size_t>(t)); });
  }
  ~Callers() { Join(); }
  Callers(const Callers&) = delete;
  Callers& operator=(const Callers&) = delete;

  void Join() {
    for (std::thread& t : m_threads) {
      if (t.joinable()) t.join();
    }
  }
  // Waits until every caller has had `more` more answers than now.
  void WaitForAnswers(long long more) {
    std::vector<long long> from;
    for (const auto& c : m_calls) from.push_back(c.load());
    for (std::size_t t = 0; t < m_calls.size(); ++t) WaitUntil([&] { return m_calls[t].load() >= from[t] + more; });
  }

  // Raised after the job was paused, before it is resumed or stopped, and
  // after it was stopped.
  // Waits until every caller has begun a call after the pause or is inside
  // one (held by the pause, or about to begin the next).
  void WaitForCallsWhilePaused() {
    for (std::size_t t = 0; t < m_calls.size(); ++t) {
      WaitUntil([&] { return m_askedWhilePaused[t].load() || m_inCall[t].load(); });
    }
  }

  std::atomic<bool> paused{false};
  std::atomic<bool> released{false};
  std::atomic<bool> stopped{false};
  std::atomic<int> answeredWhilePaused{0};
  std::atomic<int> goOnAfterStop{0};

 private:
  void Ask(std::size_t t) {
    for (;;) {
      // The flags are raised after the job's status has changed: a call that
      // sees one began after the change.
      const bool afterPause = paused.load();
      const bool afterStop = stopped.load();
      if (afterPause) m_askedWhilePaused[t] = true;
      m_inCall[t] = true;
      const int answer = CNotifyCenter::Instance().isContinue();
      m_inCall[t] = false;
      if (afterPause && !released.load()) ++answeredWhilePaused;
      if (afterStop && answer != 0) ++goOnAfterStop;
      if (answer == 0) return;
      ++m_calls[t];
    }
  }

  std::vector<std::atomic<long long>> m_calls;
  std::vector<std::atomic<bool>> m_askedWhilePaused;
  std::vector<std::atomic<bool>> m_inCall;
  std::vector<std::thread> m_threads;
};

struct PauseCase {
  const char* name;
  bool resumeBeforeStop;
};

void PrintTo(const PauseCase& c, std::ostream* os) { *os << c.name; }

class PauseAndStop : public ::testing::TestWithParam<PauseCase> {};

TEST_P(PauseAndStop, HoldEveryCallerAndEndThem) {
  Operation op;
  op.SetStatus(kOpRunning);
  CSerializedProgress serialized(&op);
  CenterSink center(&serialized);

  Callers callers(4);
  callers.WaitForAnswers(1000);

  op.PauseOrResumeOperation();
  callers.paused = true;
  callers.WaitForCallsWhilePaused();
  // Time for the callers to reach the wait inside their call; what the test
  // checks does not depend on it.
  std::this_thread::sleep_for(20ms);
  callers.released = true;
  if (GetParam().resumeBeforeStop) {
    op.PauseOrResumeOperation();
    callers.WaitForAnswers(1000);
  }
  op.StopOperation(0);
  callers.stopped = true;
  callers.Join();

  EXPECT_EQ(callers.answeredWhilePaused.load(), 0);
  EXPECT_EQ(callers.goOnAfterStop.load(), 0);
  EXPECT_EQ(op.GetStatus(), kOpStopRequested);
}

INSTANTIATE_TEST_SUITE_P(ContinueThreads, PauseAndStop,
                         ::testing::Values(PauseCase{"ResumedThenStopped", true},
                                           PauseCase{"StoppedWhilePaused", false}),
                         [](const auto& info) { return std::string(info.param.name); });

// Blocks in UpdateProgress (inside the serialising lock) until a Continued()
// from another thread has come back, or gives up after a while.
class BlockingUpdate : public Operation {
 public:
  void UpdateProgress(_PROGRESS_INFO*) override {
    entered = true;
    const auto giveUp = std::chrono::steady_clock::now() + 10s;
    while (!answered.load() && std::chrono::steady_clock::now() < giveUp) std::this_thread::yield();
    answeredInside = answered.load();
  }
  std::atomic<bool> entered{false};
  std::atomic<bool> answered{false};
  std::atomic<bool> answeredInside{false};
};

TEST(ContinueThreads, RunningJobAnswersWhileAnotherCallHoldsTheLock) {
  BlockingUpdate op;
  op.SetStatus(kOpRunning);
  CSerializedProgress serialized(&op);
  std::thread reporter([&] {
    _PROGRESS_INFO info{};
    serialized.UpdateProgress(&info);
  });
  WaitUntil([&] { return op.entered.load(); });
  EXPECT_EQ(serialized.Continued(), 1);
  op.answered = true;
  reporter.join();
  EXPECT_TRUE(op.answeredInside.load());
}

// A sink that does not say it may be asked from any thread: counts its calls
// in a plain field and notes how many were inside at once.
class PlainSink : public IProgress {
 public:
  void UpdateProgress(_PROGRESS_INFO*) override { ++updates; }
  int Continued() override {
    const int now = ++m_inside;
    int seen = maxInside.load();
    while (now > seen && !maxInside.compare_exchange_weak(seen, now)) {
    }
    ++calls;
    --m_inside;
    return 1;
  }
  int shouldBuild() override { return 1; }

  long long calls = 0;
  long long updates = 0;
  std::atomic<int> maxInside{0};

 private:
  std::atomic<int> m_inside{0};
};

TEST(ContinueThreads, OtherSinksAreAskedOneAtATime) {
  PlainSink sink;
  CSerializedProgress serialized(&sink);
  constexpr int kThreads = 4;
  constexpr int kCalls = 20000;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      _PROGRESS_INFO info{};
      for (int k = 0; k < kCalls; ++k) {
        EXPECT_EQ(serialized.Continued(), 1);
        if (k % 64 == 0) serialized.UpdateProgress(&info);
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(sink.calls, static_cast<long long>(kThreads) * kCalls);
  EXPECT_EQ(sink.updates, static_cast<long long>(kThreads) * ((kCalls + 63) / 64));
  EXPECT_EQ(sink.maxInside.load(), 1);
}

}  // namespace
