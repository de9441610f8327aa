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

// Has the system back every page of the `count` buffers of `bytes` bytes
// each now, on a few threads side by side. The first touch of a fresh page
// can cost far more than the write that makes it; buffers about to be
// filled one after another are quicker to fill once backed together. Their
// contents stay unspecified. Best effort: a page left out is backed when it
// is first written.
void BackPages(std::uint8_t* const* buffers, std::size_t count, std::size_t bytes);

}  // namespace platform
