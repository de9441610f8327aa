#include "bridge/QVUIOperation.h"

#include <chrono>
#include <ctime>

QVUIOperation::QVUIOperation() {
  m_clock = [] { return static_cast<std::int64_t>(std::time(nullptr)); };
}

int QVUIOperation::Continued() {
  if (m_status.load(std::memory_order_acquire) == kOpRunning) return 1;
  {
    std::unique_lock lk(m_mutex);
    // Paused: wait in steps of 80 ms; a status change wakes the wait early.
    while (m_status == kOpPaused) m_statusChanged.wait_for(lk, std::chrono::milliseconds(80));
  }
  const int status = GetStatus();
  return (status == kOpIdle || status == kOpStopRequested || status == kOpExit) ? 0 : 1;
}

int QVUIOperation::shouldBuild() {
  std::lock_guard g(m_mutex);
  return m_buildTree;
}

int QVUIOperation::GetStatus() const { return m_status.load(std::memory_order_acquire); }

void QVUIOperation::SetStatus(int status) {
  {
    std::lock_guard g(m_mutex);
    m_status = status;
  }
  m_statusChanged.notify_all();
}

int QVUIOperation::IsNeedUIUpdate() const {
  std::lock_guard g(m_mutex);
  return m_needUIUpdate;
}

void QVUIOperation::SetNeedUIUpdate(int flag) {
  std::lock_guard g(m_mutex);
  m_needUIUpdate = flag;
}

void QVUIOperation::SetShouldBuildTree(int flag) {
  std::lock_guard g(m_mutex);
  m_buildTree = flag;
}

_PROGRESS_INFO QVUIOperation::GetProgressInfo() const {
  std::lock_guard g(m_mutex);
  return m_progress;
}

void QVUIOperation::SetProgressInfo(const _PROGRESS_INFO& info) {
  std::lock_guard g(m_mutex);
  m_progress = info;
}

int QVUIOperation::IsOperationExit() const {
  const int status = GetStatus();
  return (status == kOpIdle || status == kOpExit) ? 1 : 0;
}

void QVUIOperation::PauseOrResumeOperation() {
  {
    std::lock_guard g(m_mutex);
    if (m_status == kOpPaused)
      m_status = kOpRunning;
    else if (m_status == kOpRunning)
      m_status = kOpPaused;
  }
  m_statusChanged.notify_all();
}

void QVUIOperation::StopOperation(int flag) {
  {
    std::lock_guard g(m_mutex);
    if (m_status != kOpIdle) {
      m_status = kOpStopRequested;
      m_buildTree = flag == 0 ? 1 : 0;
    }
    m_needUIUpdate = 1;
  }
  m_statusChanged.notify_all();
}

std::int64_t QVUIOperation::GetScanElapseTime() const {
  std::lock_guard g(m_mutex);
  return m_lastProgressTime - m_startTime;
}

void QVUIOperation::SetClock(Clock clock) {
  std::lock_guard g(m_mutex);
  m_clock = std::move(clock);
}

std::int64_t QVUIOperation::Now() const {
  std::lock_guard g(m_mutex);
  return m_clock();
}
