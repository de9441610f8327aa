#include "core/controller/SearcherCrew.h"

#include <system_error>
#include <utility>

CSearcherCrew::CSearcherCrew(std::vector<Member> members)
    : m_members(std::move(members)), m_finished(m_members.size(), 0) {}

CSearcherCrew::~CSearcherCrew() { Stop(); }

bool CSearcherCrew::Start() {
  if (!m_threads.empty() || m_members.size() < 2) return false;
  try {
    m_threads.reserve(m_members.size());
    for (std::size_t i = 0; i < m_members.size(); ++i) m_threads.emplace_back(&CSearcherCrew::Work, this, i);
  } catch (const std::system_error&) {
    Stop();
    return false;
  }
  return true;
}

void CSearcherCrew::Stop() {
  {
    std::lock_guard guard(m_lock);
    m_stop = true;
  }
  m_work.notify_all();
  for (std::thread& t : m_threads) {
    if (t.joinable()) t.join();
  }
  m_threads.clear();
  std::lock_guard guard(m_lock);
  m_stop = false;
}

void CSearcherCrew::AnalyzeBlock(long long start, long long count) {
  if (m_threads.empty()) {
    for (const Member& m : m_members) m.searcher->AnalyzeBlock(start, count);
    return;
  }
  std::exception_ptr error;
  {
    std::unique_lock lock(m_lock);
    m_start = start;
    m_count = count;
    m_pending = m_members.size();
    ++m_generation;
    m_work.notify_all();
    m_done.wait(lock, [&] { return m_pending == 0; });
    error = std::exchange(m_error, nullptr);
  }
  if (error) std::rethrow_exception(error);
}

void CSearcherCrew::Work(std::size_t index) {
  const Member& me = m_members[index];
  std::uint64_t seen = 0;
  std::unique_lock lock(m_lock);
  for (;;) {
    m_work.wait(lock, [&] {
      if (m_stop) return true;
      if (m_generation == seen) return false;
      for (std::size_t a : me.after) {
        if (m_finished[a] != m_generation) return false;
      }
      return true;
    });
    if (m_stop) return;
    seen = m_generation;
    const long long start = m_start;
    const long long count = m_count;
    lock.unlock();
    std::exception_ptr error;
    try {
      me.searcher->AnalyzeBlock(start, count);
    } catch (...) {
      error = std::current_exception();
    }
    lock.lock();
    if (error && !m_error) m_error = error;
    m_finished[index] = seen;
    if (--m_pending == 0) m_done.notify_all();
    // Members waiting for this one may start.
    m_work.notify_all();
  }
}

std::uint64_t CSearcherCrew::FoundFiles() const {
  std::uint64_t found = 0;
  for (const Member& m : m_members) found += m.searcher->GetFoundFileCount();
  return found;
}
