#pragma once
// Large buffers taken from the system as whole pages (blocks of a sweep,
// read buffers). Where the system offers huge pages, the buffer asks for
// them, so that filling a fresh buffer costs a few page faults rather than
// one for every 4 KiB.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace platform {

struct PageBufferRelease {
  std::size_t bytes = 0;  // the length mapped
  void operator()(std::uint8_t* p) const;
};
using PageBuffer = std::unique_ptr<std::uint8_t[], PageBufferRelease>;

// A buffer of at least `bytes` bytes, aligned to 4096 bytes; its contents
// are unspecified until written. Null when `bytes` is 0 or no memory is left.
PageBuffer AllocatePageBuffer(std::size_t bytes);

}  // namespace platform
