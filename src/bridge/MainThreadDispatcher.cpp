#include "bridge/MainThreadDispatcher.h"

#include <atomic>

namespace bridge {

QueueDispatcher::QueueDispatcher() : m_owner(std::this_thread::get_id()) {}

void QueueDispatcher::Post(std::function<void()> fn) {
  {
    std::lock_guard g(m_lock);
    m_queue.push_back(std::move(fn));
  }
  m_cv.notify_all();
}

bool QueueDispatcher::IsMainThread() const {
  std::lock_guard g(m_lock);
  return std::this_thread::get_id() == m_owner;
}

void QueueDispatcher::BindToCurrentThread() {
  std::lock_guard g(m_lock);
  m_owner = std::this_thread::get_id();
}

int QueueDispatcher::RunPending() {
  std::deque<std::function<void()>> batch;
  {
    std::lock_guard g(m_lock);
    batch.swap(m_queue);
  }
  for (auto& fn : batch) fn();
  return static_cast<int>(batch.size());
}

void QueueDispatcher::Wake() {
  {
    std::lock_guard g(m_lock);
    m_woken = true;
  }
  m_cv.notify_all();
}

bool QueueDispatcher::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (true) {
    RunPending();
    if (done()) return true;
    std::unique_lock lk(m_lock);
    if (std::chrono::steady_clock::now() >= deadline) break;
    // Short waits: `done()` may turn true without a post or a wake.
    m_cv.wait_for(lk, std::chrono::milliseconds(20), [this] { return !m_queue.empty() || m_woken; });
    m_woken = false;
  }
  RunPending();
  return done();
}

QueueDispatcher& DefaultQueue() {
  // Never destroyed: a detached job may still wake it while the process ends.
  static auto* queue = new QueueDispatcher;
  return *queue;
}

namespace {
std::atomic<IMainThreadDispatcher*> g_dispatcher{nullptr};
}

IMainThreadDispatcher& MainThread() {
  IMainThreadDispatcher* d = g_dispatcher.load(std::memory_order_acquire);
  return d != nullptr ? *d : DefaultQueue();
}

void SetMainThreadDispatcher(IMainThreadDispatcher* dispatcher) {
  g_dispatcher.store(dispatcher, std::memory_order_release);
}

}  // namespace bridge
