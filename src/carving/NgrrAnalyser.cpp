#include "carving/NgrrAnalyser.h"

namespace RawSpeed {

int NGRRAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr || !streammember::EqualsNoCase(sector, "-in-", 4)) return 0;
  probe.m_eType = kRawTypeNgrr;
  return 1;
}

int NGRRAnalyser::NGRRRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                                               SearchContext& context) {
  long long pos = 0;
  if (!streammember::SectorOffset(*this, sector, sectorSize, sectorNumber, pos)) return kSizeNeedMore;
  const StreamBytes bytes(sector, sectorSize, context);
  bool end = false;
  while (!end && m_llWalk < pos + sectorSize && m_llWalk <= kCap) {
    std::size_t at = 0;
    if (!bytes.Locate(m_llWalk - pos, 20, at)) break;  // the record arrives later
    if (!bytes.View().Equals(at, "atad", 4)) {
      end = true;
    } else {
      m_llWalk += static_cast<long long>(bytes.View().U32Le(at + 16)) + 24;
    }
  }
  if (pos > kCap) {
    m_llSize = pos;
  } else if (end) {
    m_llSize = m_llWalk;
  } else {
    return kSizeNeedMore;
  }
  streammember::NameRange(*this, streammember::kFormA, sectorNumber);
  return kSizeDone;
}

}  // namespace RawSpeed
