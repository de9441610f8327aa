#include "core/compress/Lznt1.h"

#include <algorithm>

namespace lznt1 {
namespace {

constexpr std::uint16_t kCompressedFlag = 0x8000;
constexpr std::uint16_t kSizeMask = 0x0FFF;

// Length bits of a back-reference at output position p: 12 less the number of
// times p - 1 can be halved while it stays above 15.
int LengthBits(std::size_t p) {
  int shift = 0;
  for (std::size_t i = p - 1; i > 15; i >>= 1) ++shift;
  return 12 - shift;
}

}  // namespace

int DecompressBlock(std::span<std::uint8_t> out, ByteView chunk) {
  if (!chunk.Has(0, 2)) return -1;
  const std::uint16_t header = chunk.U16Le(0);
  if (header == 0) return -1;
  const std::size_t dataLen = static_cast<std::size_t>(header & kSizeMask) + 1;
  if (!chunk.Has(2, dataLen)) return -1;
  const std::size_t capacity = std::min(out.size(), kChunkSize);

  if ((header & kCompressedFlag) == 0) {
    if (dataLen > capacity) return -1;
    chunk.Bytes(2, out.data(), dataLen);
    return static_cast<int>(dataLen);
  }

  const std::size_t end = 2 + dataLen;
  std::size_t in = 2;
  std::size_t p = 0;
  while (in < end) {
    const std::uint8_t flags = chunk.U8(in++);
    for (int bit = 0; bit < 8 && in < end; ++bit) {
      if ((flags & (1u << bit)) == 0) {
        if (p >= capacity) return -1;
        out[p++] = chunk.U8(in++);
        continue;
      }
      if (end - in < 2 || p == 0) return -1;
      const std::uint16_t ref = chunk.U16Le(in);
      in += 2;
      const int lengthBits = LengthBits(p);
      const std::size_t length = static_cast<std::size_t>(ref & (0xFFFFu >> (16 - lengthBits))) + 3;
      const std::size_t distance = static_cast<std::size_t>(ref >> lengthBits) + 1;
      if (distance > p || length > capacity - p) return -1;
      for (std::size_t k = 0; k < length; ++k, ++p) out[p] = out[p - distance];
    }
  }
  return static_cast<int>(p);
}

UnitResult DecompressUnit(ByteView in, std::span<std::uint8_t> out) {
  UnitResult result;
  std::size_t pos = 0;
  std::size_t slot = 0;
  while (in.Has(pos, 2) && slot < out.size()) {
    const std::uint16_t header = in.U16Le(pos);
    if (header == 0) break;
    const std::size_t chunkLen = static_cast<std::size_t>(header & kSizeMask) + 3;
    if (!in.Has(pos, chunkLen)) {
      result.ok = false;
      break;
    }
    const std::size_t room = std::min(kChunkSize, out.size() - slot);
    const int got = DecompressBlock(out.subspan(slot, room), in.Sub(pos, chunkLen));
    if (got < 0) {
      result.ok = false;
      break;
    }
    result.produced = slot + static_cast<std::size_t>(got);
    slot += kChunkSize;
    pos += chunkLen;
  }
  return result;
}

}  // namespace lznt1
