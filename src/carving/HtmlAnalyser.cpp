#include "carving/HtmlAnalyser.h"

#include <cctype>
#include <cstdio>

#include "carving/StreamBytes.h"

namespace RawSpeed {

namespace {

// Offset (from the sector's first byte) just past the first "</html>" that
// ends in this sector and the CR/LF after it; -1 when there is none.
long long ClosingTagEnd(const unsigned char* sector, int sectorSize, const CRawFileInfo::SearchContext& context) {
  static constexpr char kTag[] = "</html>";
  constexpr long long kLength = 7;
  const StreamBytes bytes(sector, sectorSize, context);
  const ByteView& v = bytes.View();
  const long long first = bytes.Before() >= kLength - 1 ? -(kLength - 1) : 0;
  std::size_t at = 0;
  if (!bytes.Locate(first, static_cast<std::size_t>(sectorSize - first), at)) return -1;
  for (long long k = first; k + kLength <= sectorSize; ++k) {
    const std::size_t p = at + static_cast<std::size_t>(k - first);
    if (v.U8(p) != '<' || v.U8(p + 1) != '/') continue;
    bool match = true;
    for (long long j = 2; j < kLength && match; ++j) {
      match = std::tolower(v.U8(p + static_cast<std::size_t>(j))) == kTag[j];
    }
    if (!match) continue;
    long long end = k + kLength;
    std::size_t e = 0;
    if (bytes.Locate(end, 1, e) && v.U8(e) == '\r') ++end;
    if (bytes.Locate(end, 1, e) && v.U8(e) == '\n') ++end;
    return end;
  }
  return -1;
}

}  // namespace

void HTMLAnalyser::HTMLRawFileInfo::WillBeRemove(unsigned char*, long long) {
  if (auto* owner = dynamic_cast<HTMLAnalyser*>(m_pAnalyser)) m_pAnalyser = owner->Reader();
}

int HTMLAnalyser::HTMLRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                                               SearchContext& context) {
  if (sector == nullptr || sectorSize <= 0 || sectorNumber < m_llStartSector) return 2;
  const long long pos = (sectorNumber - m_llStartSector) * sectorSize;
  char name[1024];
  std::snprintf(name, sizeof(name), "%lld-%lld_", m_llStartSector, sectorNumber);
  if (static_cast<unsigned long long>(pos) > m_uCap) {
    m_strName = name;
    m_llSize = pos;
    return 1;
  }
  // The closing tag (and the line end after it) ends the page, also amid
  // non-zero bytes that follow it on the disk.
  const long long closed = ClosingTagEnd(sector, sectorSize, context);
  if (closed >= 0 && pos + closed >= m_llMinLength + m_llExtraLength) {
    m_strName = name;
    m_llSize = pos + closed;
    m_eType = kRawTypeHtm;
    return 1;
  }
  if (context.zeroTailBytes < 8) return 2;
  // The bytes in use, not a whole sector, count towards the minimum.
  const long long size = pos + UsedBytes(sector, sectorSize);
  if (size < m_llMinLength + m_llExtraLength) return 2;
  m_strName = name;
  m_llSize = size;
  m_eType = kRawTypeHtm;
  return 1;
}

}  // namespace RawSpeed
