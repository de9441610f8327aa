#include "carving/FileXZAnalyser.h"

#include <zlib.h>

#include <cstring>

#include "carving/RawFileBuffer.h"
#include "core/util/ByteView.h"

namespace {

constexpr unsigned char kMagic[] = {0xFD, '7', 'z', 'X', 'Z', 0};

// The two stream-flag bytes: the first is zero, the check type is 0..15.
bool ValidFlags(const unsigned char* flags) { return flags[0] == 0 && (flags[1] & 0xF0) == 0; }

// A stream footer at `f` (12 bytes) that belongs to a stream with `flags`:
// its CRC covers the backward size and the flags.
bool IsFooter(const unsigned char* f, const unsigned char* flags) {
  if (f[10] != 'Y' || f[11] != 'Z' || f[8] != flags[0] || f[9] != flags[1]) return false;
  return crc32(0L, f + 4, 6) == ByteView(f, 4).U32Le(0);
}

}  // namespace

int FileXZAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr || std::memcmp(sector, kMagic, sizeof(kMagic)) != 0) return 0;
  if (!ValidFlags(sector + 6) || crc32(0L, sector + 6, 2) != ByteView(sector + 8, 4).U32Le(0)) return 0;
  probe.m_eType = kRawTypeXz;
  return 1;
}

bool FileXZAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
  info.m_llSize = 0;
  if (device == nullptr) return false;
  RawFileBuffer reader(device, static_cast<unsigned long long>(info.m_llStartSector));
  unsigned char header[kHeader];
  if (!reader.Read(0, header, sizeof(header)) || std::memcmp(header, kMagic, sizeof(kMagic)) != 0) return false;
  const unsigned char flags[2] = {header[6], header[7]};
  // Blocks and the index keep the stream a multiple of four bytes long: the
  // footer starts on such a boundary, after the header, a block and the
  // index (at least 8 bytes each).
  for (unsigned long long p = kHeader + 16; p <= kLimit;) {
    const unsigned char* at = reader.GetRawFileBuffer(p);
    if (at == nullptr) return false;
    const std::size_t n = reader.Available(p);
    if (n < kFooter) {
      unsigned char footer[kFooter];
      if (!reader.Read(p, footer, sizeof(footer))) return false;
      if (IsFooter(footer, flags)) {
        info.m_llSize = static_cast<long long>(p + kFooter);
        info.m_eType = kRawTypeXz;
        return true;
      }
      p += 4;
      continue;
    }
    std::size_t i = 0;
    for (; i + kFooter <= n; i += 4) {
      if (!IsFooter(at + i, flags)) continue;
      // The backward size points at the index, whose first byte is zero.
      const unsigned long long index = (static_cast<unsigned long long>(ByteView(at + i + 4, 4).U32Le(0)) + 1) * 4;
      unsigned char indicator = 1;
      if (index + kHeader <= p + i && reader.Read(p + i - index, &indicator, 1) && indicator == 0) {
        info.m_llSize = static_cast<long long>(p + i + kFooter);
        info.m_eType = kRawTypeXz;
        return true;
      }
      i += 4;
      break;  // the read may have moved the window
    }
    p += i;
  }
  return false;
}
