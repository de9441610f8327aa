#include "carving/PngAnalyser.h"

#include <cstdio>

#include "carving/StreamBytes.h"

namespace RawSpeed {

int PNGAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  return m_pReader->AnalyseBuffer(sector, probe);
}

void PNGAnalyser::PNGRawFileInfo::WillBeRemove(unsigned char*, long long) {
  if (auto* owner = dynamic_cast<PNGAnalyser*>(m_pAnalyser)) m_pAnalyser = owner->Reader();
}

int PNGAnalyser::PNGRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                                             SearchContext& context) {
  if (sector == nullptr || sectorSize <= 0 || sectorNumber < m_llStartSector) return kSizeNeedMore;
  const long long pos = (sectorNumber - m_llStartSector) * sectorSize;
  if (pos > m_llCap) {
    m_llSize = 0;
    return kSizeDone;
  }
  const StreamBytes bytes(sector, sectorSize, context);
  std::size_t at = 0;
  while (m_llWalk <= pos + sectorSize) {
    if (m_bFirst) {
      if (!bytes.Locate(8 - pos, 4, at)) return kSizeNeedMore;
      m_llWalk += bytes.View().U32Be(at);
      m_bFirst = false;
      continue;
    }
    if (!bytes.Locate(m_llWalk - pos, 8, at)) return kSizeNeedMore;  // not in the buffer (yet)
    const long long length = bytes.View().U32Be(at);
    m_llWalk += length + 12;
    if (bytes.View().Equals(at + 4, "IEND", 4)) {
      char name[1024];
      std::snprintf(name, sizeof(name), "%lld-%lld_", m_llStartSector, sectorNumber);
      m_strName = name;
      m_llSize = m_llWalk;
      m_eType = kRawTypePng;
      return kSizeDone;
    }
  }
  return kSizeNeedMore;
}

}  // namespace RawSpeed
