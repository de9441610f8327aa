#include "core/device/UnreadableRanges.h"

#include <algorithm>
#include <iterator>

std::uint64_t UnreadableRanges::Add(const timed_read::SourceKey& source, std::uint64_t begin, std::uint64_t end) {
  if (end <= begin) return 0;
  std::lock_guard<std::mutex> g(m_lock);
  auto& ranges = m_ranges[source];
  // Merge with every range that overlaps or touches [begin, end).
  auto it = ranges.upper_bound(begin);
  if (it != ranges.begin() && std::prev(it)->second >= begin) --it;
  std::uint64_t covered = 0;
  std::uint64_t newBegin = begin;
  std::uint64_t newEnd = end;
  bool merged = false;
  while (it != ranges.end() && it->first <= end) {
    const std::uint64_t overlapBegin = std::max(it->first, begin);
    const std::uint64_t overlapEnd = std::min(it->second, end);
    if (overlapEnd > overlapBegin) covered += overlapEnd - overlapBegin;
    newBegin = std::min(newBegin, it->first);
    newEnd = std::max(newEnd, it->second);
    it = ranges.erase(it);
    --m_count;
    merged = true;
  }
  const std::uint64_t added = (end - begin) - covered;
  if (m_count < kMaxRanges || merged) {
    ranges.emplace(newBegin, newEnd);
    ++m_count;
  }
  m_total += added;
  return added;
}

void UnreadableRanges::Clear() {
  std::lock_guard<std::mutex> g(m_lock);
  m_ranges.clear();
  m_count = 0;
}

std::uint64_t UnreadableRanges::Total() {
  std::lock_guard<std::mutex> g(m_lock);
  return m_total;
}
