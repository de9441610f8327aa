#include "core/compress/Lzvn.h"

#include <array>

namespace {

enum OpClass : std::uint8_t {
  kSmallDistance,
  kMediumDistance,
  kLargeDistance,
  kPreviousDistance,
  kSmallLiteral,
  kLargeLiteral,
  kSmallMatch,
  kLargeMatch,
  kNop,
  kEndOfStream,
  kInvalid,
};

constexpr OpClass ClassOf(unsigned op) {
  if (op == 0x06) return kEndOfStream;
  if (op == 0x0E || op == 0x16) return kNop;
  if (op == 0xE0) return kLargeLiteral;
  if (op == 0xF0) return kLargeMatch;
  if ((op & 0xF0) == 0xE0) return kSmallLiteral;
  if ((op & 0xF0) == 0xF0) return kSmallMatch;
  if ((op & 0xF0) == 0x70 || (op & 0xF0) == 0xD0) return kInvalid;
  if ((op & 0xE0) == 0xA0) return kMediumDistance;
  if ((op & 7) == 7) return kLargeDistance;
  if ((op & 7) == 6) return op < 0x40 ? kInvalid : kPreviousDistance;
  return kSmallDistance;
}

constexpr std::array<OpClass, 256> MakeTable() {
  std::array<OpClass, 256> t{};
  for (unsigned op = 0; op < 256; ++op) t[op] = ClassOf(op);
  return t;
}

constexpr std::array<OpClass, 256> kOpTable = MakeTable();
constexpr std::size_t kTailPadding = 8;

}  // namespace

std::size_t lzvn_decode(void* dstVoid, std::size_t dstSize, const void* srcVoid, std::size_t srcSize) {
  auto* dst = static_cast<std::uint8_t*>(dstVoid);
  const auto* src = static_cast<const std::uint8_t*>(srcVoid);
  if (dst == nullptr || src == nullptr || srcSize < kTailPadding) return 0;
  const std::size_t limit = srcSize - kTailPadding;
  std::size_t sp = 0;
  std::size_t dp = 0;
  std::size_t previous = 0;
  for (;;) {
    if (sp >= srcSize) return 0;
    const unsigned op = src[sp];
    std::size_t head = 1;
    std::size_t literals = 0;
    std::size_t match = 0;
    std::size_t distance = previous;
    switch (kOpTable[op]) {
      case kEndOfStream:
        return dp;
      case kInvalid:
        return 0;
      case kNop:
        break;
      case kSmallDistance:
        head = 2;
        if (sp + head > limit) return 0;
        literals = op >> 6;
        match = ((op >> 3) & 7) + 3;
        distance = ((op & 7u) << 8) | src[sp + 1];
        break;
      case kMediumDistance: {
        head = 3;
        if (sp + head > limit) return 0;
        const unsigned word = src[sp + 1] | (static_cast<unsigned>(src[sp + 2]) << 8);
        literals = (op >> 3) & 3;
        match = (((op & 7u) << 2) | (word & 3u)) + 3;
        distance = word >> 2;
        break;
      }
      case kLargeDistance:
        head = 3;
        if (sp + head > limit) return 0;
        literals = op >> 6;
        match = ((op >> 3) & 7) + 3;
        distance = src[sp + 1] | (static_cast<unsigned>(src[sp + 2]) << 8);
        break;
      case kPreviousDistance:
        literals = op >> 6;
        match = ((op >> 3) & 7) + 3;
        break;
      case kSmallLiteral:
        literals = op & 0x0F;
        break;
      case kLargeLiteral:
        head = 2;
        if (sp + head > limit) return 0;
        literals = static_cast<std::size_t>(src[sp + 1]) + 16;
        break;
      case kSmallMatch:
        match = op & 0x0F;
        break;
      case kLargeMatch:
        head = 2;
        if (sp + head > limit) return 0;
        match = static_cast<std::size_t>(src[sp + 1]) + 16;
        break;
    }
    if (sp + head + literals > limit) return 0;
    sp += head;
    for (std::size_t i = 0; i < literals; ++i) {
      if (dp == dstSize) return dstSize;
      dst[dp++] = src[sp++];
    }
    if (match != 0) {
      if (distance == 0 || distance > dp) return 0;
      previous = distance;
      for (std::size_t i = 0; i < match; ++i) {
        if (dp == dstSize) return dstSize;
        dst[dp] = dst[dp - distance];
        ++dp;
      }
    }
  }
}
