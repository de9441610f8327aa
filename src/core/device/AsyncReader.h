#pragma once
// The one routine through which every file-backed device reads its bytes.
// Requests are serialised by one process-wide lock and read in pieces of at
// most 4 MiB straight into the caller's buffer. A piece that fails with an
// I/O error is read again sector by sector, past the page cache (O_DIRECT,
// aligned buffer) where the system allows it, so a bad sector costs only its
// own bytes (zeros), not its page, and the request reports failure.

#include <cstdint>

inline constexpr long long kAsyncReadPiece = 4 * 1024 * 1024;

// The primitive the reader calls: reads `length` bytes at `offset`, going on
// after short reads and interrupted calls; stops early only at end of file or
// on an error (errno in `error`).
class IRawReadPrimitive {
 public:
  struct Outcome {
    std::uint64_t bytes = 0;
    int error = 0;
  };
  virtual ~IRawReadPrimitive() = default;
  virtual Outcome ReadAt(int fd, void* buffer, std::uint64_t length, std::uint64_t offset) = 0;
};

// Replaces the primitive (tests); null restores pread. Returns the previous
// one (null for the default). Not to be called while reads are running.
IRawReadPrimitive* SetRawReadPrimitive(IRawReadPrimitive* primitive);

// Reads `length` bytes at `offset` of `fd` into `buf`. Returns `length` when
// every byte was read; 0 on a bad argument, when any sector failed, or when
// the file ended before the request did (the missing tail is zeros, but it
// was not read). Once the
// arguments are valid, `buf` always receives `length` bytes of data or zeros.
// `sectorSize` is the unit of the retry after an I/O error.
long long QVReadAsyncData(void* buf, int fd, long long offset, long long length, int sectorSize = 512);
