#pragma once
// Base of the bridge's long jobs (scan, recovery, saving and loading): the
// engines' progress sink, the status word the windows and the worker agree
// on, and the last progress record.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

#include "core/model/Progress.h"

enum QVOperationStatus : int {
  kOpIdle = 0,
  kOpStopRequested = 1,
  kOpRunning = 2,
  kOpPaused = 3,
  kOpExit = 4,
};

class QVUIOperation : public IProgress {
 public:
  // Seconds since the epoch; replaceable for tests.
  using Clock = std::function<std::int64_t()>;

  QVUIOperation();
  ~QVUIOperation() override = default;
  QVUIOperation(const QVUIOperation&) = delete;
  QVUIOperation& operator=(const QVUIOperation&) = delete;

  void UpdateProgress(_PROGRESS_INFO* info) override = 0;
  // A running job answers without taking the lock; a paused one waits here
  // until it is resumed or stopped. A subclass that answers otherwise keeps
  // its answer safe to give on any thread.
  int Continued() override;
  bool ContinuedIsThreadSafe() const override { return true; }
  int shouldBuild() override;
  virtual int IsOpTreeFinished() { return 1; }
  virtual void SetOpTreeFinished(int) {}

  int GetStatus() const;
  void SetStatus(int status);
  int IsNeedUIUpdate() const;
  void SetNeedUIUpdate(int flag);
  void SetShouldBuildTree(int flag);
  _PROGRESS_INFO GetProgressInfo() const;
  void SetProgressInfo(const _PROGRESS_INFO& info);
  int IsOperationExit() const;
  void PauseOrResumeOperation();
  void StopOperation(int flag);
  std::int64_t GetScanElapseTime() const;

  void SetClock(Clock clock);
  std::int64_t Now() const;

 protected:
  // Guards every field here and the subclasses' shared data.
  mutable std::recursive_mutex m_mutex;
  std::int64_t m_startTime = 0;
  std::int64_t m_lastProgressTime = 0;

 private:
  std::condition_variable_any m_statusChanged;
  // Written under m_mutex (a waiter in Continued() must not miss a change);
  // read without it.
  std::atomic<int> m_status{kOpIdle};
  int m_buildTree = 1;
  int m_needUIUpdate = 0;
  _PROGRESS_INFO m_progress{};
  Clock m_clock;
};
