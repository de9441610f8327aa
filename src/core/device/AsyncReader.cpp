#include "core/device/AsyncReader.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "core/device/TimedRead.h"
#include "core/device/UnreadableRanges.h"
#include "core/util/Log.h"
#include "platform/RawDevice.h"

namespace {

class PreadPrimitive final : public IRawReadPrimitive {
 public:
  Outcome ReadAt(int fd, void* buffer, std::uint64_t length, std::uint64_t offset) override {
    const platform::PreadResult r = platform::PreadFully(fd, buffer, length, offset);
    return Outcome{r.bytes, r.error};
  }
};

PreadPrimitive g_preadPrimitive;
IRawReadPrimitive* g_primitive = &g_preadPrimitive;
std::mutex g_readLock;
std::atomic<long long> g_limitMs{kDefaultReadTimeLimit.count()};
UnreadableRanges& Unreadables() {
  static auto* ranges = new UnreadableRanges;
  return *ranges;
}

// Whether every page of [offset, offset + length) of `fd` is in the page
// cache, asked without reading anything (cachestat). True when the system
// cannot tell.
bool WhollyCached(int fd, long long offset, long long length) {
  struct Range {
    std::uint64_t off;
    std::uint64_t len;
  } range{static_cast<std::uint64_t>(offset), static_cast<std::uint64_t>(length)};
  struct Stat {
    std::uint64_t nrCache, nrDirty, nrWriteback, nrEvicted, nrRecentlyEvicted;
  } stat{};
  constexpr long kCachestat = 451;
  if (::syscall(kCachestat, fd, &range, &stat, 0) != 0) return true;
  constexpr long long kPage = 4096;
  const long long pages = (offset + length + kPage - 1) / kPage - offset / kPage;
  return static_cast<long long>(stat.nrCache) >= pages;
}

// One request under way: where its bytes go and what it met.
struct Request {
  Request(IRawReadPrimitive& r, bool cached, int descriptor, std::chrono::milliseconds timeLimit)
      : reader(r), cachedFirst(cached), fd(descriptor), limit(timeLimit) {}

  IRawReadPrimitive& reader;
  bool cachedFirst;  // the system's own reads: cached bytes need no reader thread
  int fd;
  std::chrono::milliseconds limit;
  long long unreadable = 0;
  bool timedOut = false;
  bool failed = false;

  // The source's identity, looked up when first needed.
  const std::optional<timed_read::SourceKey>& Key() {
    if (!keyKnown) {
      key = timed_read::KeyOf(fd);
      keyKnown = true;
    }
    return key;
  }

  timed_read::Result Read(int from, unsigned char* out, long long n, long long at) {
    std::uint64_t cached = 0;
    if (cachedFirst) {
      bool ended = false;
      cached = timed_read::ReadCached(from, out, static_cast<std::uint64_t>(n), static_cast<std::uint64_t>(at), ended);
      if (cached == static_cast<std::uint64_t>(n) || ended) return timed_read::Result{{cached, 0}, false};
    }
    timed_read::Result rest =
        timed_read::ReadOnWorker(reader, from, out + cached, static_cast<std::uint64_t>(n) - cached,
                                 static_cast<std::uint64_t>(at) + cached, Key(), limit);
    rest.outcome.bytes += cached;
    return rest;
  }
  // Gives up the bytes [out, out + n), at `at` in the source: zeros that
  // were not read.
  void Unreadable(unsigned char* out, long long n, long long at) {
    if (n <= 0) return;
    std::memset(out, 0, static_cast<std::size_t>(n));
    unreadable += n;
    failed = true;
    if (Key()) Unreadables().Add(*Key(), static_cast<std::uint64_t>(at), static_cast<std::uint64_t>(at + n));
  }
  std::optional<timed_read::SourceKey> key;
  bool keyKnown = false;

  // Sweep reads: pieces that are not all in the page cache are read past it
  // through a descriptor of its own, opened when first needed.
  bool sweep = false;
  int direct = -1;
  bool directTried = false;
  ~Request() {
    if (direct >= 0) ::close(direct);
  }
  Request(const Request&) = delete;
  Request& operator=(const Request&) = delete;

  // A direct read of the piece when it is worth one and possible: aligned,
  // not already cached. Nullopt: read it the usual way.
  std::optional<timed_read::Result> ReadDirect(unsigned char* out, long long n, long long at) {
    constexpr long long kAlign = 4096;
    if (!sweep || !cachedFirst || at % kAlign != 0 || n % kAlign != 0 || WhollyCached(fd, at, n)) return std::nullopt;
    if (!directTried) {
      directTried = true;
      const std::string self = "/proc/self/fd/" + std::to_string(fd);
      direct = ::open(self.c_str(), O_RDONLY | O_DIRECT | O_CLOEXEC);
    }
    if (direct < 0) return std::nullopt;
    timed_read::Result got = timed_read::ReadOnWorker(reader, direct, out, static_cast<std::uint64_t>(n),
                                                      static_cast<std::uint64_t>(at), Key(), limit);
    if (!got.timedOut && got.outcome.error == EINVAL && got.outcome.bytes == 0) {
      // The file system refuses direct reads: no more tries.
      ::close(direct);
      direct = -1;
      return std::nullopt;
    }
    return got;
  }

  void LogTimeout(long long at) {
    CatchExeception::WriteLog(
        "read failed: fd %d offset %lld: no answer within %lld ms; the device is not read again until the next "
        "scan\n",
        fd, at, static_cast<long long>(limit.count()));
  }
};

// Reads of single sectors that bypass the page cache. Through the cache a
// block device (or a file on one) is read in whole pages, so one bad sector
// would cost every sector of its page; with O_DIRECT it costs only itself.
// Falls back to the caller's descriptor where direct reads are not possible.
class SectorReader {
 public:
  explicit SectorReader(Request& request) : m_request(request) {
    const std::string self = "/proc/self/fd/" + std::to_string(request.fd);
    m_direct = ::open(self.c_str(), O_RDONLY | O_DIRECT | O_CLOEXEC);
  }
  ~SectorReader() {
    if (m_direct >= 0) ::close(m_direct);
  }
  SectorReader(const SectorReader&) = delete;
  SectorReader& operator=(const SectorReader&) = delete;

  // The reader thread's buffer is aligned for direct reads.
  timed_read::Result Read(unsigned char* out, long long n, long long offset) {
    if (m_direct >= 0) {
      const auto got = m_request.Read(m_direct, out, n, offset);
      if (got.timedOut || got.outcome.error != EINVAL) return got;
    }
    return m_request.Read(m_request.fd, out, n, offset);
  }

 private:
  Request& m_request;
  int m_direct = -1;
};

// Reads a piece that failed, one sector at a time from `from` on; failed
// sectors become zeros.
void ReadPieceBySector(Request& request, unsigned char* piece, long long pieceOffset, long long pieceLength,
                       long long from, long long sectorSize) {
  SectorReader sectors(request);
  for (long long pos = from; pos < pieceLength; pos += sectorSize) {
    const long long n = (pieceLength - pos < sectorSize) ? pieceLength - pos : sectorSize;
    const auto got = sectors.Read(piece + pos, n, pieceOffset + pos);
    const long long delivered =
        static_cast<long long>(got.outcome.bytes < static_cast<std::uint64_t>(n) ? got.outcome.bytes : n);
    if (got.timedOut) {
      request.LogTimeout(pieceOffset + pos + delivered);
      request.timedOut = true;
      request.Unreadable(piece + pos + delivered, pieceLength - pos - delivered, pieceOffset + pos + delivered);
      return;
    }
    if (got.outcome.error != 0) {
      request.Unreadable(piece + pos + delivered, n - delivered, pieceOffset + pos + delivered);
      CatchExeception::WriteLog("read failed: fd %d offset %lld length %lld: %s\n", request.fd, pieceOffset + pos, n,
                                std::strerror(got.outcome.error));
    } else if (delivered < n) {
      // The source ends early: the rest of the piece is zeros that were never read.
      std::memset(piece + pos + delivered, 0, static_cast<size_t>(pieceLength - pos - delivered));
      CatchExeception::WriteLog("read failed: fd %d offset %lld: the source ends early\n", request.fd,
                                pieceOffset + pos);
      request.failed = true;
      return;
    }
  }
}

// Reads one piece of a request.
void ReadPiece(Request& request, unsigned char* piece, long long pieceOffset, long long pieceLength,
               long long sectorSize) {
  std::optional<timed_read::Result> direct = request.ReadDirect(piece, pieceLength, pieceOffset);
  const auto got = direct ? *direct : request.Read(request.fd, piece, pieceLength, pieceOffset);
  const long long delivered = static_cast<long long>(
      got.outcome.bytes < static_cast<std::uint64_t>(pieceLength) ? got.outcome.bytes : pieceLength);
  if (got.timedOut) {
    // What the cache held before the stuck part stays.
    request.LogTimeout(pieceOffset + delivered);
    request.timedOut = true;
    request.Unreadable(piece + delivered, pieceLength - delivered, pieceOffset + delivered);
    return;
  }
  if (got.outcome.error == 0) {
    if (delivered < pieceLength) {
      // End of file before the end of the request (an image cut short, a
      // device gone): the missing bytes were not read.
      std::memset(piece + delivered, 0, static_cast<size_t>(pieceLength - delivered));
      CatchExeception::WriteLog("read failed: fd %d offset %lld length %lld: the source ends early\n", request.fd,
                                pieceOffset + delivered, pieceLength - delivered);
      request.failed = true;
    }
    return;
  }
  if (got.outcome.error == EIO) {
    const long long from = delivered - delivered % sectorSize;
    ReadPieceBySector(request, piece, pieceOffset, pieceLength, from, sectorSize);
    return;
  }
  request.Unreadable(piece + delivered, pieceLength - delivered, pieceOffset + delivered);
  CatchExeception::WriteLog("read failed: fd %d offset %lld length %lld: %s\n", request.fd, pieceOffset + delivered,
                            pieceLength - delivered, std::strerror(got.outcome.error));
}

}  // namespace

IRawReadPrimitive* SetRawReadPrimitive(IRawReadPrimitive* primitive) {
  std::lock_guard<std::mutex> guard(g_readLock);
  IRawReadPrimitive* previous = g_primitive == &g_preadPrimitive ? nullptr : g_primitive;
  g_primitive = primitive != nullptr ? primitive : &g_preadPrimitive;
  return previous;
}

std::chrono::milliseconds SetReadTimeLimit(std::chrono::milliseconds limit) {
  const long long ms = limit.count() > 0 ? limit.count() : 1;
  return std::chrono::milliseconds(g_limitMs.exchange(ms));
}

namespace {

long long ReadRequest(void* buf, int fd, long long offset, long long length, int sectorSize, AsyncReadReport* report,
                      bool sweep) {
  if (buf == nullptr || fd < 0 || offset < 0 || length <= 0 || sectorSize <= 0) return 0;
  if (offset > LLONG_MAX - length) return 0;

  std::lock_guard<std::mutex> guard(g_readLock);
  Request request{*g_primitive, g_primitive == &g_preadPrimitive, fd, std::chrono::milliseconds(g_limitMs.load())};
  request.sweep = sweep;
  auto* out = static_cast<unsigned char*>(buf);
  if (timed_read::AnyHung() && timed_read::IsHung(request.Key())) {
    // It did not answer before: not read again until the next scan.
    request.timedOut = true;
    request.Unreadable(out, length, offset);
  }
  for (long long position = 0; !request.timedOut && position < length; position += kAsyncReadPiece) {
    const long long pieceLength = (length - position < kAsyncReadPiece) ? length - position : kAsyncReadPiece;
    ReadPiece(request, out + position, offset + position, pieceLength, sectorSize);
    if (request.timedOut && position + pieceLength < length) {
      request.Unreadable(out + position + pieceLength, length - position - pieceLength,
                         offset + position + pieceLength);
    }
  }
  if (report != nullptr) {
    report->unreadableBytes = request.unreadable;
    report->timedOut = request.timedOut;
  }
  return request.failed ? 0 : length;
}

}  // namespace

long long QVReadAsyncData(void* buf, int fd, long long offset, long long length, int sectorSize,
                          AsyncReadReport* report) {
  return ReadRequest(buf, fd, offset, length, sectorSize, report, false);
}

long long QVReadSweepData(void* buf, int fd, long long offset, long long length, int sectorSize,
                          AsyncReadReport* report) {
  return ReadRequest(buf, fd, offset, length, sectorSize, report, true);
}

void NewReadSession() {
  timed_read::ForgetReturned();
  Unreadables().Clear();
}

bool IsHungSource(int fd) { return fd >= 0 && timed_read::IsHung(timed_read::KeyOf(fd)); }

std::size_t AbandonedReadCount() { return timed_read::AbandonedCount(); }

long long UnreadableBytesSoFar() { return static_cast<long long>(Unreadables().Total()); }
