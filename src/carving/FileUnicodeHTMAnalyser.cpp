#include "carving/FileUnicodeHTMAnalyser.h"

#include <cctype>
#include <cstring>

#include "carving/RawFileBuffer.h"

int FileUnicodeHTMAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  static constexpr unsigned char kStart[] = {0xFF, 0xFE, 0x3C, 0x00};
  if (sector == nullptr || std::memcmp(sector, kStart, sizeof(kStart)) != 0) return 0;
  probe.m_eType = kRawTypeHtm;
  return 1;
}

bool FileUnicodeHTMAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
  info.m_llSize = 0;
  if (device == nullptr) return false;
  RawFileBuffer reader(device, static_cast<unsigned long long>(info.m_llStartSector));
  static constexpr char kClose[] = "</html>";
  constexpr int kCloseUnits = 7;
  int matched = 0;
  // UTF-16 units after the byte-order mark.
  for (long long off = 2; off + 2 <= kLimit; off += 2) {
    unsigned char u[2];
    if (!reader.Read(static_cast<unsigned long long>(off), u, 2)) return false;
    const unsigned unit = u[0] | (u[1] << 8);
    if (unit == 0x0000 || unit == 0xFEFF) {
      if (off <= 2) return false;
      info.m_llSize = off;
      info.m_eType = kRawTypeHtm;
      return true;
    }
    const bool same = unit < 0x80 && std::tolower(static_cast<int>(unit)) == kClose[matched];
    matched = same ? matched + 1 : (unit < 0x80 && std::tolower(static_cast<int>(unit)) == kClose[0] ? 1 : 0);
    if (matched == kCloseUnits) {
      info.m_llSize = off + 2;
      info.m_eType = kRawTypeHtm;
      return true;
    }
  }
  return false;
}
