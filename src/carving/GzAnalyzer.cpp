#include "carving/GzAnalyzer.h"

#include "carving/GzHeader.h"

namespace RawSpeed {

int GZAnalyzer::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (!CGzSearch::IsValidGzHeader(sector)) return 0;
  probe.m_eType = kRawTypeGz;
  return 1;
}

void GZAnalyzer::GZRawFileInfo::WillBeRemove(unsigned char*, long long) {
  if (auto* owner = dynamic_cast<GZAnalyzer*>(m_pAnalyser)) m_pAnalyser = owner->Reader();
}

int GZAnalyzer::GZRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                                           SearchContext& context) {
  if (sector == nullptr || sectorSize <= 0 || sectorNumber < m_llStartSector) return kSizeNeedMore;
  const long long pos = (sectorNumber - m_llStartSector) * sectorSize;
  // Trailing zeros of the stream (its length field) cannot be told from a
  // zero tail: streaming only finds the sector, the reader the exact end.
  if (pos > kCap) {
    m_llSize = 0;
    return kSizeDone;
  }
  if (context.zeroTailBytes < 8 || pos < m_llMinLength + m_llExtraLength) return kSizeNeedMore;
  m_llSize = 0;
  return kSizeDone;
}

}  // namespace RawSpeed
