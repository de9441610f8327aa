#pragma once
// The byte ranges of each source that could not be read, so that a sector
// that fails again (read once by the sweep, again by an engine) counts once.

#include <cstdint>
#include <map>
#include <mutex>

#include "core/device/TimedRead.h"

class UnreadableRanges {
 public:
  // Notes [begin, end) of `source`; the bytes not noted before.
  std::uint64_t Add(const timed_read::SourceKey& source, std::uint64_t begin, std::uint64_t end);
  // Bytes noted so far (all sources), each once per span between Clear calls.
  std::uint64_t Total();
  // Forgets the ranges (the total stays).
  void Clear();

 private:
  // Past this many separate ranges new ones are counted but not kept.
  static constexpr std::size_t kMaxRanges = 1 << 20;

  std::mutex m_lock;
  std::map<timed_read::SourceKey, std::map<std::uint64_t, std::uint64_t>> m_ranges;  // begin -> end
  std::size_t m_count = 0;
  std::uint64_t m_total = 0;
};
