#pragma once
// Checked arithmetic on sector geometry.

#include <cstdint>

namespace devgeom {

// Sector sizes a device may have: a power of two from 512 to 64 KiB.
constexpr bool IsUsableSectorSize(long long size) { return size >= 512 && size <= 65536 && (size & (size - 1)) == 0; }

// a * b + c without overflow, all non-negative; false when it overflows.
inline bool MulAdd(long long a, long long b, long long c, long long& out) {
  if (a < 0 || b < 0 || c < 0) return false;
  long long product = 0;
  if (__builtin_mul_overflow(a, b, &product)) return false;
  return !__builtin_add_overflow(product, c, &out);
}

}  // namespace devgeom
