#pragma once
// Reads that a caller can stop waiting for. Each read runs on a reader
// thread into that thread's own buffer; when it does not finish within the
// time limit, the caller gets "timed out" at once and the thread, still
// stuck in the system call, is left behind with its buffer (a new thread
// takes the next read). The file or device it hung on is remembered as hung.

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "core/device/AsyncReader.h"

namespace timed_read {

// The file or device behind a descriptor: the device number for a block
// device, else the file system's device and inode.
struct SourceKey {
  dev_t device = 0;
  ino_t inode = 0;
  bool operator<(const SourceKey& other) const {
    return device != other.device ? device < other.device : inode < other.inode;
  }
};
std::optional<SourceKey> KeyOf(int fd);

struct Result {
  IRawReadPrimitive::Outcome outcome;
  bool timedOut = false;
};

// Reads what the page cache already holds of [offset, offset + length), on
// the caller's thread and without waiting for the device; stops at the
// first byte that would need the device. Bytes read; `ended` at end of file.
std::uint64_t ReadCached(int fd, unsigned char* out, std::uint64_t length, std::uint64_t offset, bool& ended);

// Reads `length` (at most one piece) bytes at `offset` of `fd` through
// `primitive` on the reader thread and copies what arrived to `out`. On a
// timeout nothing is copied and `key` (when known) is marked hung.
Result ReadOnWorker(IRawReadPrimitive& primitive, int fd, unsigned char* out, std::uint64_t length,
                    std::uint64_t offset, const std::optional<SourceKey>& key, std::chrono::milliseconds limit);

// Whether any source is marked hung (cheap; no lock).
bool AnyHung();
bool IsHung(const std::optional<SourceKey>& key);
// Unmarks every hung source whose stuck reads have all returned.
void ForgetReturned();
std::size_t AbandonedCount();

}  // namespace timed_read
