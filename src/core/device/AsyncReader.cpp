#include "core/device/AsyncReader.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

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

constexpr std::size_t kDirectAlignment = 4096;

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};

// Reads of single sectors that bypass the page cache. Through the cache a
// block device (or a file on one) is read in whole pages, so one bad sector
// would cost every sector of its page; with O_DIRECT it costs only itself.
// Falls back to the caller's descriptor where direct reads are not possible.
class SectorReader {
 public:
  SectorReader(IRawReadPrimitive& reader, int fd, long long sectorSize) : m_reader(reader), m_fd(fd) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    m_direct = ::open(self.c_str(), O_RDONLY | O_DIRECT | O_CLOEXEC);
    const std::size_t bytes = (static_cast<std::size_t>(sectorSize) + kDirectAlignment - 1) / kDirectAlignment *
                              kDirectAlignment;
    if (m_direct >= 0) m_buffer.reset(std::aligned_alloc(kDirectAlignment, bytes));
  }
  ~SectorReader() {
    if (m_direct >= 0) ::close(m_direct);
  }
  SectorReader(const SectorReader&) = delete;
  SectorReader& operator=(const SectorReader&) = delete;

  IRawReadPrimitive::Outcome Read(unsigned char* out, long long n, long long offset) {
    if (m_direct >= 0 && m_buffer) {
      const auto got = m_reader.ReadAt(m_direct, m_buffer.get(), static_cast<std::uint64_t>(n),
                                       static_cast<std::uint64_t>(offset));
      if (got.error != EINVAL) {
        const std::uint64_t take = got.bytes < static_cast<std::uint64_t>(n) ? got.bytes : static_cast<std::uint64_t>(n);
        std::memcpy(out, m_buffer.get(), static_cast<std::size_t>(take));
        return got;
      }
    }
    return m_reader.ReadAt(m_fd, out, static_cast<std::uint64_t>(n), static_cast<std::uint64_t>(offset));
  }

 private:
  IRawReadPrimitive& m_reader;
  int m_fd;
  int m_direct = -1;
  std::unique_ptr<void, FreeDeleter> m_buffer;
};

// Reads a piece that failed, one sector at a time from `from` on; failed
// sectors become zeros. True when no sector failed.
bool ReadPieceBySector(IRawReadPrimitive& reader, int fd, unsigned char* piece, long long pieceOffset,
                       long long pieceLength, long long from, long long sectorSize) {
  SectorReader sectors(reader, fd, sectorSize);
  bool ok = true;
  for (long long pos = from; pos < pieceLength; pos += sectorSize) {
    const long long n = (pieceLength - pos < sectorSize) ? pieceLength - pos : sectorSize;
    const auto got = sectors.Read(piece + pos, n, pieceOffset + pos);
    const long long delivered = static_cast<long long>(got.bytes < static_cast<std::uint64_t>(n) ? got.bytes : n);
    if (delivered < n) std::memset(piece + pos + delivered, 0, static_cast<size_t>(n - delivered));
    if (got.error != 0) {
      ok = false;
      CatchExeception::WriteLog("read failed: fd %d offset %lld length %lld: %s\n", fd, pieceOffset + pos, n,
                                std::strerror(got.error));
    } else if (delivered < n) {
      // The source ends early: the rest of the piece is zeros that were never read.
      if (pos + n < pieceLength) std::memset(piece + pos + n, 0, static_cast<size_t>(pieceLength - pos - n));
      CatchExeception::WriteLog("read failed: fd %d offset %lld: the source ends early\n", fd, pieceOffset + pos);
      ok = false;
      break;
    }
  }
  return ok;
}

}  // namespace

IRawReadPrimitive* SetRawReadPrimitive(IRawReadPrimitive* primitive) {
  std::lock_guard<std::mutex> guard(g_readLock);
  IRawReadPrimitive* previous = g_primitive == &g_preadPrimitive ? nullptr : g_primitive;
  g_primitive = primitive != nullptr ? primitive : &g_preadPrimitive;
  return previous;
}

long long QVReadAsyncData(void* buf, int fd, long long offset, long long length, int sectorSize) {
  if (buf == nullptr || fd < 0 || offset < 0 || length <= 0 || sectorSize <= 0) return 0;
  if (offset > LLONG_MAX - length) return 0;

  std::lock_guard<std::mutex> guard(g_readLock);
  IRawReadPrimitive& reader = *g_primitive;
  auto* out = static_cast<unsigned char*>(buf);
  bool failed = false;
  for (long long position = 0; position < length; position += kAsyncReadPiece) {
    const long long pieceLength = (length - position < kAsyncReadPiece) ? length - position : kAsyncReadPiece;
    unsigned char* piece = out + position;
    const long long pieceOffset = offset + position;
    const auto got = reader.ReadAt(fd, piece, static_cast<std::uint64_t>(pieceLength),
                                   static_cast<std::uint64_t>(pieceOffset));
    const long long delivered =
        static_cast<long long>(got.bytes < static_cast<std::uint64_t>(pieceLength) ? got.bytes : pieceLength);
    if (got.error == 0) {
      if (delivered < pieceLength) {
        // End of file before the end of the request (an image cut short, a
        // device gone): the missing bytes were not read.
        std::memset(piece + delivered, 0, static_cast<size_t>(pieceLength - delivered));
        CatchExeception::WriteLog("read failed: fd %d offset %lld length %lld: the source ends early\n", fd,
                                  pieceOffset + delivered, pieceLength - delivered);
        failed = true;
      }
      continue;
    }
    if (got.error == EIO) {
      const long long from = delivered - delivered % sectorSize;
      if (!ReadPieceBySector(reader, fd, piece, pieceOffset, pieceLength, from, sectorSize)) failed = true;
      continue;
    }
    std::memset(piece + delivered, 0, static_cast<size_t>(pieceLength - delivered));
    CatchExeception::WriteLog("read failed: fd %d offset %lld length %lld: %s\n", fd, pieceOffset + delivered,
                              pieceLength - delivered, std::strerror(got.error));
    failed = true;
  }
  return failed ? 0 : length;
}
