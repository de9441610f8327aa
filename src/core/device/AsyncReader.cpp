#include "core/device/AsyncReader.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>

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

// Reads a piece that failed, one sector at a time from `from` on; failed
// sectors become zeros. True when no sector failed.
bool ReadPieceBySector(IRawReadPrimitive& reader, int fd, unsigned char* piece, long long pieceOffset,
                       long long pieceLength, long long from, long long sectorSize) {
  bool ok = true;
  for (long long pos = from; pos < pieceLength; pos += sectorSize) {
    const long long n = (pieceLength - pos < sectorSize) ? pieceLength - pos : sectorSize;
    const auto got = reader.ReadAt(fd, piece + pos, static_cast<std::uint64_t>(n),
                                   static_cast<std::uint64_t>(pieceOffset + pos));
    const long long delivered = static_cast<long long>(got.bytes < static_cast<std::uint64_t>(n) ? got.bytes : n);
    if (delivered < n) std::memset(piece + pos + delivered, 0, static_cast<size_t>(n - delivered));
    if (got.error != 0) {
      ok = false;
      CatchExeception::WriteLog("read failed: fd %d offset %lld length %lld: %s\n", fd, pieceOffset + pos, n,
                                std::strerror(got.error));
    } else if (delivered < n) {
      // End of file: the rest of the piece is zeros.
      if (pos + n < pieceLength) std::memset(piece + pos + n, 0, static_cast<size_t>(pieceLength - pos - n));
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
      if (delivered < pieceLength) std::memset(piece + delivered, 0, static_cast<size_t>(pieceLength - delivered));
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
