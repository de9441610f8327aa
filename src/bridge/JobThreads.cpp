#include "bridge/JobThreads.h"

#include <algorithm>

#include "bridge/MainThreadDispatcher.h"
#include "platform/Threads.h"

namespace bridge {

bool StartThread(std::function<void()> fn, std::size_t stackSize) {
  return platform::StartDetachedThread(std::move(fn), stackSize == 0 ? 0 : platform::WorkerStackSize(stackSize));
}

JobRegistry& JobRegistry::instance() {
  // Never destroyed: a detached worker may still be leaving End() at exit.
  static JobRegistry* registry = new JobRegistry();
  return *registry;
}

void JobRegistry::Begin(const std::string& name) {
  std::lock_guard g(m_lock);
  m_alive.push_back(name);
}

void JobRegistry::End(const std::string& name) {
  {
    std::lock_guard g(m_lock);
    const auto it = std::find(m_alive.begin(), m_alive.end(), name);
    if (it != m_alive.end()) m_alive.erase(it);
    m_cv.notify_all();
  }
  // A headless main thread waiting for the jobs to end looks again now.
  DefaultQueue().Wake();
}

bool JobRegistry::Start(const std::string& name, std::function<void()> fn, std::size_t stackSize) {
  Begin(name);
  const bool started = StartThread(
      [this, name, fn = std::move(fn)]() {
        fn();
        End(name);
      },
      stackSize);
  if (!started) End(name);
  return started;
}

int JobRegistry::Alive() const {
  std::lock_guard g(m_lock);
  return static_cast<int>(m_alive.size());
}

int JobRegistry::Alive(const std::string& name) const {
  std::lock_guard g(m_lock);
  return static_cast<int>(std::count(m_alive.begin(), m_alive.end(), name));
}

std::vector<std::string> JobRegistry::AliveNames() const {
  std::lock_guard g(m_lock);
  return m_alive;
}

bool JobRegistry::WaitIdle(std::chrono::milliseconds timeout) const {
  std::unique_lock lk(m_lock);
  return m_cv.wait_for(lk, timeout, [this] { return m_alive.empty(); });
}

bool JobRegistry::WaitIdle(const std::string& name, std::chrono::milliseconds timeout) const {
  std::unique_lock lk(m_lock);
  return m_cv.wait_for(lk, timeout,
                       [this, &name] { return std::find(m_alive.begin(), m_alive.end(), name) == m_alive.end(); });
}

}  // namespace bridge
