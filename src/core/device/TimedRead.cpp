#include "core/device/TimedRead.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/PageBuffer.h"

namespace timed_read {

namespace {

// Which sources hung, and how many of their reads are still stuck. Made
// once and never destroyed: a stuck thread may come back while the process
// ends.
struct HungSources {
  std::mutex lock;
  std::map<SourceKey, int> stuck;  // hung source -> reads not yet returned
  std::size_t abandoned = 0;
};

std::atomic<bool> g_anyHung{false};

HungSources& Hung() {
  static auto* hung = new HungSources;
  return *hung;
}

void MarkHung(const std::optional<SourceKey>& key) {
  HungSources& hung = Hung();
  std::lock_guard<std::mutex> g(hung.lock);
  ++hung.abandoned;
  if (key) ++hung.stuck[*key];
  g_anyHung = !hung.stuck.empty();
}

// One reader thread with its buffer. The thread owns the worker together
// with the caller; a worker given up on is dropped by the caller and ends
// when its read returns.
class Worker : public std::enable_shared_from_this<Worker> {
 public:
  bool Start() {
    // Aligned for direct reads, in (huge, where offered) pages.
    m_buffer = platform::AllocatePageBuffer(static_cast<std::size_t>(kAsyncReadPiece));
    if (!m_buffer) return false;
    try {
      std::thread([self = shared_from_this()] { self->Loop(); }).detach();
    } catch (const std::system_error&) {
      return false;
    }
    return true;
  }

  // Runs one read; false when it did not finish in time (the worker is then
  // abandoned and must not be used again).
  bool Run(IRawReadPrimitive& primitive, int fd, std::uint64_t length, std::uint64_t offset,
           const std::optional<SourceKey>& key, std::chrono::milliseconds limit, unsigned char* out,
           IRawReadPrimitive::Outcome& outcome) {
    // The thread reads through a descriptor of its own, so that the caller
    // may close theirs while a read it gave up on is still stuck.
    const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    std::unique_lock<std::mutex> lk(m_lock);
    m_primitive = &primitive;
    m_fd = own >= 0 ? own : fd;
    m_ownsFd = own >= 0;
    m_length = length;
    m_offset = offset;
    m_key = key;
    m_done = false;
    m_pending = true;
    m_wake.notify_all();
    if (!m_wake.wait_for(lk, limit, [this] { return m_done; })) {
      // Counted before the thread can come back and uncount it.
      MarkHung(key);
      m_abandoned = true;
      return false;
    }
    outcome = m_outcome;
    const std::uint64_t take = outcome.bytes < length ? outcome.bytes : length;
    std::memcpy(out, m_buffer.get(), static_cast<std::size_t>(take));
    return true;
  }

 private:
  void Loop() {
    std::unique_lock<std::mutex> lk(m_lock);
    for (;;) {
      m_wake.wait(lk, [this] { return m_pending; });
      m_pending = false;
      IRawReadPrimitive* primitive = m_primitive;
      const int fd = m_fd;
      const std::uint64_t length = m_length;
      const std::uint64_t offset = m_offset;
      const bool ownsFd = m_ownsFd;
      lk.unlock();
      const IRawReadPrimitive::Outcome outcome = primitive->ReadAt(fd, m_buffer.get(), length, offset);
      if (ownsFd) ::close(fd);
      lk.lock();
      m_outcome = outcome;
      m_done = true;
      if (m_abandoned) break;
      m_wake.notify_all();
    }
    const std::optional<SourceKey> key = m_key;
    lk.unlock();
    Returned(key);
  }

  static void Returned(const std::optional<SourceKey>& key) {
    HungSources& hung = Hung();
    std::lock_guard<std::mutex> g(hung.lock);
    if (hung.abandoned > 0) --hung.abandoned;
    if (!key) return;
    const auto it = hung.stuck.find(*key);
    if (it != hung.stuck.end() && it->second > 0) --it->second;
  }

  std::mutex m_lock;
  std::condition_variable m_wake;
  platform::PageBuffer m_buffer;
  IRawReadPrimitive* m_primitive = nullptr;
  int m_fd = -1;
  bool m_ownsFd = false;
  std::uint64_t m_length = 0;
  std::uint64_t m_offset = 0;
  std::optional<SourceKey> m_key;
  IRawReadPrimitive::Outcome m_outcome;
  bool m_pending = false;
  bool m_done = false;
  bool m_abandoned = false;
};

// The worker that takes the next read (callers are serialised by the
// reader's own lock).
std::shared_ptr<Worker>& Current() {
  static auto* current = new std::shared_ptr<Worker>;
  return *current;
}

}  // namespace

std::optional<SourceKey> KeyOf(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return std::nullopt;
  if (S_ISBLK(st.st_mode)) return SourceKey{st.st_rdev, 0};
  return SourceKey{st.st_dev, st.st_ino};
}

// Reads what the page cache already holds, on the caller's thread: such a
// read cannot hang. Stops at the first byte that would have to come from
// the device (or when the system cannot promise not to wait). Bytes read,
// and whether the file ended.
std::uint64_t ReadCached(int fd, unsigned char* out, std::uint64_t length, std::uint64_t offset, bool& ended) {
  std::uint64_t got = 0;
  ended = false;
  while (got < length) {
    iovec part{out + got, static_cast<std::size_t>(length - got)};
    const ssize_t n = ::preadv2(fd, &part, 1, static_cast<off_t>(offset + got), RWF_NOWAIT);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    if (n == 0) {
      ended = true;
      break;
    }
    got += static_cast<std::uint64_t>(n);
  }
  return got;
}

// The reader thread is made when there is none.
Result ReadOnWorker(IRawReadPrimitive& primitive, int fd, unsigned char* out, std::uint64_t length,
                    std::uint64_t offset, const std::optional<SourceKey>& key, std::chrono::milliseconds limit) {
  Result result;
  std::shared_ptr<Worker>& worker = Current();
  if (!worker) {
    auto fresh = std::make_shared<Worker>();
    if (!fresh->Start()) {
      // No thread or no buffer: read on the caller's thread, without a limit.
      result.outcome = primitive.ReadAt(fd, out, length, offset);
      return result;
    }
    worker = std::move(fresh);
  }
  if (!worker->Run(primitive, fd, length, offset, key, limit, out, result.outcome)) {
    worker.reset();
    result.timedOut = true;
  }
  return result;
}

bool AnyHung() { return g_anyHung.load(); }

bool IsHung(const std::optional<SourceKey>& key) {
  if (!key) return false;
  HungSources& hung = Hung();
  std::lock_guard<std::mutex> g(hung.lock);
  return hung.stuck.count(*key) != 0;
}

void ForgetReturned() {
  HungSources& hung = Hung();
  std::lock_guard<std::mutex> g(hung.lock);
  for (auto it = hung.stuck.begin(); it != hung.stuck.end();) {
    it = it->second == 0 ? hung.stuck.erase(it) : std::next(it);
  }
  g_anyHung = !hung.stuck.empty();
}

std::size_t AbandonedCount() {
  HungSources& hung = Hung();
  std::lock_guard<std::mutex> g(hung.lock);
  return hung.abandoned;
}

}  // namespace timed_read
