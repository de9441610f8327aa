#include "carving/TarHeader.h"

#include <cstring>

bool IsTarHeader(const unsigned char* header) {
  return header != nullptr && std::memcmp(header + 257, "ustar", 5) == 0;
}

unsigned int OctStringToint(const unsigned char* field) {
  unsigned long long v = 0;
  for (int i = 0; i < 11; ++i) {
    const unsigned char c = field[i];
    v = v * 8 + (c >= '0' && c <= '9' ? static_cast<unsigned>(c - '0') : 0u);
  }
  return static_cast<unsigned int>(v);
}

long long TarMemberSize(const unsigned char* header) {
  const unsigned char* field = header + 124;
  if ((field[0] & 0x80) != 0) {
    unsigned long long v = field[0] & 0x7F;
    for (int i = 1; i < 12; ++i) {
      if (v >> 55 != 0) return -1;
      v = (v << 8) | field[i];
    }
    return v > 0x7FFFFFFFFFFFFFFFull ? -1 : static_cast<long long>(v);
  }
  unsigned long long v = 0;
  for (int i = 0; i < 12; ++i) {
    const unsigned char c = field[i];
    if (c == ' ' && v == 0) continue;
    if (c < '0' || c > '7') break;
    v = v * 8 + static_cast<unsigned>(c - '0');
  }
  return static_cast<long long>(v);
}

long long TarDataRecords(long long size) { return (size + kTarRecord - 1) / kTarRecord * kTarRecord; }
