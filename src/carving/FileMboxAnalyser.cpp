#include "carving/FileMboxAnalyser.h"

#include <algorithm>
#include <cstring>

#include "carving/RawFileBuffer.h"
#include "core/util/ByteView.h"

namespace {
constexpr unsigned kPiece = 512;
constexpr unsigned long long kLimit = 0xD000000;

// Offset of `pattern` inside the n bytes at p, or -1.
long Find(const unsigned char* p, std::size_t n, const char* pattern) {
  const std::size_t m = std::strlen(pattern);
  if (n < m) return -1;
  const void* hit = memmem(p, n, pattern, m);
  return hit == nullptr ? -1 : static_cast<long>(static_cast<const unsigned char*>(hit) - p);
}
}  // namespace

int FileMboxAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr) return 0;
  const ByteView v(sector, 512);
  if (!v.Equals(0, "From ", 5)) return 0;
  probe.m_eType = kRawTypeMbox;
  probe.m_llSize = 0;
  return 1;
}

bool FileMboxAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
  info.m_llSize = 0;
  if (device == nullptr) return false;
  RawFileBuffer reader(device, static_cast<unsigned long long>(info.m_llStartSector));
  unsigned long long offset = 0;
  for (; offset < kLimit; offset += kPiece) {
    const unsigned char* piece = reader.GetRawFileBuffer(offset);
    if (piece == nullptr || reader.Available(offset) < kPiece) break;
    if (ByteView(piece, kPiece).U32Le(kPiece - 4) != 0) continue;
    long hit = Find(piece, kPiece, "--\n\n");
    if (hit >= 0) {
      unsigned long long end = offset + static_cast<unsigned long long>(hit) + 4;
      const std::size_t after = static_cast<std::size_t>(hit) + 4;
      if (reader.Available(offset) >= after + 2 && piece[after] == '\n' && piece[after + 1] == '\n') end += 2;
      info.m_llSize = static_cast<long long>(end);
      return true;
    }
    hit = Find(piece, kPiece, ".com>\n\n");
    if (hit >= 0) {
      info.m_llSize = static_cast<long long>(offset + static_cast<unsigned long long>(hit) + 7);
      return true;
    }
  }
  info.m_llSize = static_cast<long long>(offset);
  info.m_bEndGuessed = true;
  return true;
}
