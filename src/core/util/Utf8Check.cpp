#include <cstddef>

#include "core/util/Log.h"

int isValidString(const char* text) {
  if (text == nullptr) return 0;
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  while (*p != 0) {
    const unsigned char lead = *p;
    if (lead < 0x80) {
      ++p;
      continue;
    }
    std::size_t extra = 0;
    // Bounds for the second byte rule out overlongs, surrogates and values
    // above U+10FFFF.
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      extra = 1;
    } else if (lead == 0xE0) {
      extra = 2;
      low = 0xA0;
    } else if (lead >= 0xE1 && lead <= 0xEC) {
      extra = 2;
    } else if (lead == 0xED) {
      extra = 2;
      high = 0x9F;
    } else if (lead >= 0xEE && lead <= 0xEF) {
      extra = 2;
    } else if (lead == 0xF0) {
      extra = 3;
      low = 0x90;
    } else if (lead >= 0xF1 && lead <= 0xF3) {
      extra = 3;
    } else if (lead == 0xF4) {
      extra = 3;
      high = 0x8F;
    } else {
      return 0;
    }
    ++p;
    for (std::size_t i = 0; i < extra; ++i, ++p) {
      // A NUL ends the string in the middle of a sequence: not in range.
      if (*p < low || *p > high) return 0;
      low = 0x80;
      high = 0xBF;
    }
  }
  return 1;
}
