#pragma once
// LZNT1, the compression of NTFS: a compression unit is a sequence of chunks,
// each a 16-bit header and the data of at most 4,096 output bytes.

#include <cstddef>
#include <cstdint>
#include <span>

#include "core/util/ByteView.h"

namespace lznt1 {

constexpr std::size_t kChunkSize = 4096;

// Decodes one chunk (header included; the view may hold more bytes after it)
// into `out`, at most 4,096 bytes. Returns the bytes written, or -1 when the
// chunk is damaged: a zero header, a length past the view, a back-reference
// before the start of the chunk's output, or output beyond `out`.
[[nodiscard]] int DecompressBlock(std::span<std::uint8_t> out, ByteView chunk);

struct UnitResult {
  std::size_t produced = 0;  // end of the last decoded byte in `out`
  bool ok = true;            // false when a chunk was damaged
};

// Decodes the chunks of one compression unit. Chunk i fills the 4,096-byte
// slot i of `out` (a short chunk leaves the rest of its slot untouched; the
// caller clears `out`). Stops at a zero header, at the end of the input or
// when `out` is full; a damaged chunk stops decoding and clears `ok`.
[[nodiscard]] UnitResult DecompressUnit(ByteView in, std::span<std::uint8_t> out);

}  // namespace lznt1
