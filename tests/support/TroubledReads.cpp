#include "support/TroubledReads.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

namespace testsupport {

TroubledReads::TroubledReads(const std::string& path, int sectorSize) : m_sectorSize(sectorSize) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    m_device = st.st_dev;
    m_inode = st.st_ino;
  }
}

TroubledReads::~TroubledReads() { Release(); }

void TroubledReads::Hang(long long sector) {
  std::lock_guard<std::mutex> g(m_lock);
  m_hang.insert(sector);
}

void TroubledReads::Fail(long long sector) {
  std::lock_guard<std::mutex> g(m_lock);
  m_fail.insert(sector);
}

void TroubledReads::Release() {
  std::lock_guard<std::mutex> g(m_lock);
  m_isReleased = true;
  m_released.notify_all();
}

int TroubledReads::HungCalls() {
  std::lock_guard<std::mutex> g(m_lock);
  return m_hungCalls;
}

int TroubledReads::Calls() {
  std::lock_guard<std::mutex> g(m_lock);
  return m_calls;
}

bool TroubledReads::Touches(const std::set<long long>& sectors, std::uint64_t offset, std::uint64_t length,
                            std::uint64_t& firstAt) const {
  const auto size = static_cast<std::uint64_t>(m_sectorSize);
  bool found = false;
  for (long long s : sectors) {
    const std::uint64_t begin = static_cast<std::uint64_t>(s) * size;
    if (begin + size > offset && begin < offset + length) {
      const std::uint64_t at = begin > offset ? begin - offset : 0;
      if (!found || at < firstAt) firstAt = at;
      found = true;
    }
  }
  return found;
}

IRawReadPrimitive::Outcome TroubledReads::ReadAt(int fd, void* buffer, std::uint64_t length, std::uint64_t offset) {
  struct stat st {};
  const bool ours = ::fstat(fd, &st) == 0 && st.st_dev == m_device && st.st_ino == m_inode;
  std::uint64_t failAt = length;
  {
    std::unique_lock<std::mutex> lk(m_lock);
    ++m_calls;
    // Read in order, as a disk does: a failing sector before a hanging one
    // ends the read first.
    std::uint64_t hangAt = length;
    if (!ours || !Touches(m_fail, offset, length, failAt)) failAt = length;
    if (ours && Touches(m_hang, offset, length, hangAt) && hangAt < failAt) {
      ++m_hungCalls;
      m_released.wait_for(lk, std::chrono::minutes(1), [this] { return m_isReleased; });
    }
  }
  Outcome out;
  auto* p = static_cast<unsigned char*>(buffer);
  while (out.bytes < failAt) {
    const ssize_t n = ::pread(fd, p + out.bytes, failAt - out.bytes, static_cast<off_t>(offset + out.bytes));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Outcome{out.bytes, errno};
    if (n == 0) return out;
    out.bytes += static_cast<std::uint64_t>(n);
  }
  if (failAt < length) out.error = EIO;
  return out;
}

TroubledReadsScope::TroubledReadsScope(TroubledReads& reads, std::chrono::milliseconds limit)
    : m_reads(reads), m_previousLimit(SetReadTimeLimit(limit)) {
  SetRawReadPrimitive(&reads);
}

TroubledReadsScope::~TroubledReadsScope() {
  m_reads.Release();
  WaitForAbandonedReads(std::chrono::minutes(1));
  SetRawReadPrimitive(nullptr);
  SetReadTimeLimit(m_previousLimit);
  NewReadSession();
}

bool WaitForAbandonedReads(std::chrono::milliseconds limit) {
  const auto until = std::chrono::steady_clock::now() + limit;
  while (AbandonedReadCount() != 0) {
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace testsupport
