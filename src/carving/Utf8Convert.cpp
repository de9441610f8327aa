#include "carving/Utf8Convert.h"

namespace {

// Length of the UTF-8 sequence at src (1..4) and its code point; 0 when
// malformed or cut by the end.
unsigned Decode(const unsigned char* src, unsigned long left, unsigned long& cp) {
  const unsigned char lead = src[0];
  unsigned n = 0;
  if (lead < 0x80) {
    cp = lead;
    return 1;
  }
  if ((lead & 0xE0) == 0xC0) {
    n = 2;
    cp = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    n = 3;
    cp = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    n = 4;
    cp = lead & 0x07;
  } else {
    return 0;
  }
  if (left < n) return 0;
  for (unsigned i = 1; i < n; ++i) {
    if ((src[i] & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (src[i] & 0x3F);
  }
  static constexpr unsigned long kMin[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMin[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return n;
}

}  // namespace

unsigned long UTF8ToUNICODE(const unsigned char* src, unsigned long srcLength, wchar_t* dst,
                            unsigned long dstCapacity) {
  if (src == nullptr || dst == nullptr || srcLength == 0 || dstCapacity == 0) return 0;
  unsigned long in = 0;
  unsigned long out = 0;
  while (in < srcLength && out < dstCapacity) {
    unsigned long cp = 0;
    const unsigned n = Decode(src + in, srcLength - in, cp);
    if (n == 0) return 0;
    dst[out++] = static_cast<wchar_t>(cp);
    in += n;
  }
  return out;
}

unsigned long UTF8ToANSI(const unsigned char* src, unsigned long srcLength, char* dst, unsigned long dstCapacity) {
  if (src == nullptr || dst == nullptr || srcLength == 0 || dstCapacity == 0) return 0;
  unsigned long in = 0;
  unsigned long out = 0;
  while (in < srcLength && src[in] != 0) {
    unsigned long cp = 0;
    const unsigned n = Decode(src + in, srcLength - in, cp);
    if (n == 0) return 0;
    if (out + n > dstCapacity - 1) break;  // keep room for the terminator
    for (unsigned i = 0; i < n; ++i) dst[out++] = static_cast<char>(src[in + i]);
    in += n;
  }
  dst[out] = '\0';
  return out;
}
