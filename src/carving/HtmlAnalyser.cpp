#include "carving/HtmlAnalyser.h"

#include <cstdio>

#include "carving/StreamBytes.h"

namespace RawSpeed {

void HTMLAnalyser::HTMLRawFileInfo::WillBeRemove(unsigned char*, long long) {
  if (auto* owner = dynamic_cast<HTMLAnalyser*>(m_pAnalyser)) m_pAnalyser = owner->Reader();
}

int HTMLAnalyser::HTMLRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                                               SearchContext& context) {
  if (sector == nullptr || sectorSize <= 0 || sectorNumber < m_llStartSector) return kSizeNeedMore;
  const long long pos = (sectorNumber - m_llStartSector) * sectorSize;
  char name[1024];
  std::snprintf(name, sizeof(name), "%lld-%lld_", m_llStartSector, sectorNumber);
  if (static_cast<unsigned long long>(pos) > m_uCap) {
    m_strName = name;
    m_llSize = pos;
    m_bEndGuessed = true;
    return kSizeDone;
  }
  // The closing tag (and the line end after it) ends the page, also amid
  // non-zero bytes that follow it on the disk.
  const long long closed = ClosingTagEnd(sector, sectorSize, context, "</html>");
  if (closed >= 0 && pos + closed >= m_llMinLength + m_llExtraLength) {
    m_strName = name;
    m_llSize = pos + closed;
    m_eType = kRawTypeHtm;
    return kSizeDone;
  }
  if (context.zeroTailBytes < 8) return kSizeNeedMore;
  // The bytes in use, not a whole sector, count towards the minimum.
  const long long size = pos + UsedBytes(sector, sectorSize);
  if (size < m_llMinLength + m_llExtraLength) return kSizeNeedMore;
  m_strName = name;
  m_llSize = size;
  m_bEndGuessed = true;
  m_eType = kRawTypeHtm;
  return kSizeDone;
}

}  // namespace RawSpeed
