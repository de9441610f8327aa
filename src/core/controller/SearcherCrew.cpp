#include "core/controller/SearcherCrew.h"

#include <system_error>
#include <utility>

namespace {

// About 30 microseconds of looking before a waiting member sleeps: longer
// than most waits within a block, far shorter than a block.
constexpr int kSpins = 1500;

inline void Pause() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#elif defined(__aarch64__)
  asm volatile("yield");
#endif
}

}  // namespace

CSearcherCrew::CSearcherCrew(std::vector<Member> members)
    : m_members(std::move(members)),
      m_waiters(m_members.size()),
      m_caller(m_members.size()),
      m_chain(m_members.size(), m_members.size()),
      m_slots(std::make_unique<Slot[]>(m_members.size())) {
  std::vector<std::size_t> writers;
  std::vector<std::size_t> others;
  for (std::size_t i = 0; i < m_members.size(); ++i) {
    Member& m = m_members[i];
    if (m.onCaller && m_caller == m_members.size()) m_caller = i;
    std::vector<std::size_t> after;
    for (const std::size_t a : m.after) {
      if (a < m_members.size() && a != i) after.push_back(a);
    }
    m.after = std::move(after);
    for (const std::size_t a : m.after) m_waiters[a].push_back(i);
  }
  // The members others wait for are woken first.
  for (std::size_t i = 0; i < m_members.size(); ++i) {
    if (!m_members[i].after.empty() || i == m_caller) continue;
    (m_waiters[i].empty() ? others : writers).push_back(i);
  }
  m_starters = std::move(writers);
  if (!others.empty()) m_starters.push_back(others.front());
  for (std::size_t k = 1; k < others.size(); ++k) m_chain[others[k - 1]] = others[k];
}

CSearcherCrew::~CSearcherCrew() { Stop(); }

bool CSearcherCrew::Start() {
  if (!m_threads.empty() || m_members.size() < 2) return false;
  try {
    m_threads.reserve(m_members.size());
    for (std::size_t i = 0; i < m_members.size(); ++i) {
      if (i != m_caller) m_threads.emplace_back(&CSearcherCrew::Work, this, i);
    }
  } catch (const std::system_error&) {
    Stop();
    return false;
  }
  return true;
}

void CSearcherCrew::Stop() {
  for (std::size_t i = 0; i < m_members.size(); ++i) {
    if (i == m_caller) continue;
    m_slots[i].go.store(kStop, std::memory_order_release);
    m_slots[i].go.notify_one();
  }
  for (std::thread& t : m_threads) {
    if (t.joinable()) t.join();
  }
  m_threads.clear();
  for (std::size_t i = 0; i < m_members.size(); ++i) m_slots[i].go.store(0, std::memory_order_relaxed);
}

std::uint32_t CSearcherCrew::Await(const std::atomic<std::uint32_t>& word, std::uint32_t old) {
  std::uint32_t v = word.load(std::memory_order_acquire);
  for (int i = 0; v == old && i < kSpins; ++i) {
    Pause();
    v = word.load(std::memory_order_acquire);
  }
  while (v == old) {
    word.wait(old, std::memory_order_acquire);
    v = word.load(std::memory_order_acquire);
  }
  return v;
}

void CSearcherCrew::Release(std::size_t index, std::uint32_t generation) {
  m_slots[index].go.store(generation, std::memory_order_release);
  m_slots[index].go.notify_one();
}

void CSearcherCrew::AnalyzeBlock(long long start, long long count) {
  if (m_threads.empty()) {
    for (const Member& m : m_members) m.searcher->AnalyzeBlock(start, count);
    return;
  }
  // Every member is done with the block before: nobody reads these now.
  const std::uint32_t previous = m_generation;
  m_generation = previous + 1 == kStop || previous + 1 == 0 ? 1 : previous + 1;
  const std::uint32_t generation = m_generation;
  m_start = start;
  m_count = count;
  for (std::size_t i = 0; i < m_members.size(); ++i) {
    m_slots[i].waiting.store(static_cast<std::uint32_t>(m_members[i].after.size()), std::memory_order_relaxed);
  }
  m_pending.store(static_cast<std::uint32_t>(m_members.size()), std::memory_order_relaxed);
  // Waking a member publishes the block to it.
  for (const std::size_t i : m_starters) Release(i, generation);
  if (m_caller < m_members.size()) {
    if (!m_members[m_caller].after.empty()) {
      Prepare(m_caller);
      Await(m_slots[m_caller].go, previous);
    }
    Run(m_caller, generation);
  }
  Await(m_done, previous);

  std::exception_ptr error;
  {
    std::lock_guard guard(m_errorLock);
    error = std::exchange(m_error, nullptr);
  }
  if (error) std::rethrow_exception(error);
}

void CSearcherCrew::Prepare(std::size_t index) {
  try {
    m_members[index].searcher->PrepareBlock(m_start, m_count);
  } catch (...) {
    std::lock_guard guard(m_errorLock);
    if (!m_error) m_error = std::current_exception();
  }
}

void CSearcherCrew::Run(std::size_t index, std::uint32_t generation) {
  try {
    m_members[index].searcher->AnalyzeBlock(m_start, m_count);
  } catch (...) {
    std::lock_guard guard(m_errorLock);
    if (!m_error) m_error = std::current_exception();
  }
  for (const std::size_t w : m_waiters[index]) {
    if (m_slots[w].waiting.fetch_sub(1, std::memory_order_acq_rel) == 1) Release(w, generation);
  }
  if (m_pending.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    m_done.store(generation, std::memory_order_release);
    m_done.notify_one();
  }
}

void CSearcherCrew::Work(std::size_t index) {
  std::uint32_t seen = 0;
  for (;;) {
    seen = Await(m_slots[index].go, seen);
    if (seen == kStop) return;
    if (m_chain[index] < m_members.size()) Release(m_chain[index], seen);
    Run(index, seen);
  }
}

std::uint64_t CSearcherCrew::FoundFiles() const {
  std::uint64_t found = 0;
  for (const Member& m : m_members) found += m.searcher->GetFoundFileCount();
  return found;
}
