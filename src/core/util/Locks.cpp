#include "core/util/Locks.h"

void SimpleCs::EnterCS(const char* /*who*/) {
  m_mutex.lock();
  if (m_depth++ == 0) m_owner.store(std::this_thread::get_id());
}

void SimpleCs::LeaveCS() {
  if (--m_depth == 0) m_owner.store(std::thread::id{});
  m_mutex.unlock();
}

void WaitEvent::Set() {
  {
    std::lock_guard<std::mutex> hold(m_mutex);
    m_set = true;
  }
  if (m_manualReset) {
    m_cond.notify_all();
  } else {
    m_cond.notify_one();
  }
}

void WaitEvent::Reset() {
  std::lock_guard<std::mutex> hold(m_mutex);
  m_set = false;
}

bool WaitEvent::IsSet() {
  std::lock_guard<std::mutex> hold(m_mutex);
  return m_set;
}

bool WaitEvent::Wait(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> hold(m_mutex);
  if (!m_cond.wait_for(hold, timeout, [this] { return m_set; })) return false;
  if (!m_manualReset) m_set = false;
  return true;
}

void WaitEvent::Wait() {
  std::unique_lock<std::mutex> hold(m_mutex);
  m_cond.wait(hold, [this] { return m_set; });
  if (!m_manualReset) m_set = false;
}
