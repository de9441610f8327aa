#pragma once
// The one routine through which every file-backed device reads its bytes.
// Requests are serialised by one process-wide lock and read in pieces of at
// most 4 MiB. Each piece is read on a reader thread and waited for with a
// time limit (30 seconds): a piece that does not arrive in time is given up
// (zeros, failure), the reader thread stuck in it is left behind with its
// own buffer, and the device it hung on is not read again until the next
// scan or recovery starts (and then only once the stuck read has returned).
// A piece that fails with an I/O error is read again sector by sector, past
// the page cache (O_DIRECT, aligned buffer) where the system allows it, so a
// bad sector costs only its own bytes (zeros), not its page, and the
// request reports failure.

#include <chrono>
#include <cstddef>
#include <cstdint>

inline constexpr long long kAsyncReadPiece = 4 * 1024 * 1024;
inline constexpr std::chrono::milliseconds kDefaultReadTimeLimit{30000};

// The primitive the reader calls: reads `length` bytes at `offset`, going on
// after short reads and interrupted calls; stops early only at end of file or
// on an error (errno in `error`). Called on the reader thread.
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

// The time one piece may take (tests shorten it); returns the previous one.
std::chrono::milliseconds SetReadTimeLimit(std::chrono::milliseconds limit);

// What one request met, for callers that report it.
struct AsyncReadReport {
  long long unreadableBytes = 0;  // bytes given as zeros because they could not be read
  bool timedOut = false;          // a piece did not arrive in time, or the device had hung before
};

// Reads `length` bytes at `offset` of `fd` into `buf`. Returns `length` when
// every byte was read; 0 on a bad argument, when any sector failed or timed
// out, or when the file ended before the request did (the missing tail is
// zeros, but it was not read). Once the arguments are valid, `buf` always
// receives `length` bytes of data or zeros. `sectorSize` is the unit of the
// retry after an I/O error.
long long QVReadAsyncData(void* buf, int fd, long long offset, long long length, int sectorSize = 512,
                          AsyncReadReport* report = nullptr);

// QVReadAsyncData for a sweep that reads each byte once in order: pieces
// that the page cache does not already hold whole are read past it
// (O_DIRECT) where the file and the request's alignment allow, so a sweep
// neither copies its bytes through the cache nor evicts what others keep
// there. The same bytes, results and failure handling.
long long QVReadSweepData(void* buf, int fd, long long offset, long long length, int sectorSize = 512,
                          AsyncReadReport* report = nullptr);

// Start of a scan, recovery or image copy: devices that hung may be read
// again, except those whose stuck read has still not returned, and sectors
// that fail count anew.
void NewReadSession();
// True when reads of the file or device behind `fd` are refused because a
// read of it hung.
bool IsHungSource(int fd);
// Reads given up on whose reader thread has not come back yet.
std::size_t AbandonedReadCount();
// Bytes that could not be read (given as zeros) since the process started;
// within one read session each byte of a source counts once however often
// it failed.
long long UnreadableBytesSoFar();
