#include "platform/PageBuffer.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <system_error>
#include <thread>
#include <vector>

namespace platform {

namespace {
constexpr std::size_t kPage = 4096;
constexpr std::size_t kHugePage = std::size_t{2} << 20;
// Threads that back pages side by side, the caller's included.
constexpr unsigned kBackingThreads = 4;

// Writes a zero to every page of buffers first, first + step, ...
void Touch(std::uint8_t* const* buffers, std::size_t count, std::size_t bytes, std::size_t first, std::size_t step) {
  for (std::size_t i = first; i < count; i += step) {
    volatile std::uint8_t* p = buffers[i];
    if (p == nullptr) continue;
    for (std::size_t at = 0; at < bytes; at += kPage) p[at] = 0;
  }
}
}  // namespace

void PageBufferRelease::operator()(std::uint8_t* p) const {
  if (p != nullptr) ::munmap(p, bytes);
}

PageBuffer AllocatePageBuffer(std::size_t bytes) {
  if (bytes == 0 || bytes > SIZE_MAX - kHugePage) return PageBuffer(nullptr, PageBufferRelease{});
  const std::size_t length = (bytes + kPage - 1) / kPage * kPage;
  // Buffers of a huge page or more start on a huge-page boundary, so that
  // as many of their pages as possible can be huge ones.
  const std::size_t slack = length >= kHugePage ? kHugePage : 0;
  void* raw = ::mmap(nullptr, length + slack, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return PageBuffer(nullptr, PageBufferRelease{});
  auto* base = static_cast<std::uint8_t*>(raw);
  std::uint8_t* start = base;
  if (slack != 0) {
    const auto address = reinterpret_cast<std::uintptr_t>(base);
    start = base + ((kHugePage - address % kHugePage) % kHugePage);
    // The pages before and after the aligned stretch go back at once.
    if (start != base) ::munmap(base, static_cast<std::size_t>(start - base));
    const std::size_t tail = static_cast<std::size_t>(base + length + slack - (start + length));
    if (tail != 0) ::munmap(start + length, tail);
#ifdef MADV_HUGEPAGE
    // Advice only: without huge pages the buffer works all the same.
    ::madvise(start, length, MADV_HUGEPAGE);
#endif
  }
  return PageBuffer(start, PageBufferRelease{length});
}

void BackPages(std::uint8_t* const* buffers, std::size_t count, std::size_t bytes) {
  if (buffers == nullptr || count == 0 || bytes == 0) return;
  const std::size_t step = std::min<std::size_t>(count, kBackingThreads);
  std::vector<std::thread> helpers;
  for (std::size_t t = 1; t < step; ++t) {
    try {
      helpers.emplace_back(Touch, buffers, count, bytes, t, step);
    } catch (const std::system_error&) {
      // Those buffers are backed as they are filled.
    }
  }
  Touch(buffers, count, bytes, 0, step);
  for (std::thread& h : helpers) h.join();
}

}  // namespace platform
