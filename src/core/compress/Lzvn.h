#pragma once
// LZVN decoding (the byte-oriented LZ77 coding of the LZFSE family).

#include <cstddef>
#include <cstdint>

// Decodes `src` into `dst`; the bytes written, or 0 for a damaged stream
// (an invalid opcode, a distance of 0 or beyond the output, an opcode that
// does not end 8 bytes before the end of the source). Stops when `dst` is
// full and returns its size.
std::size_t lzvn_decode(void* dst, std::size_t dstSize, const void* src, std::size_t srcSize);
