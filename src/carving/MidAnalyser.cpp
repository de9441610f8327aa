#include "carving/MidAnalyser.h"

namespace RawSpeed {

int MIDAnalyser::MIDRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                                             SearchContext& context) {
  long long pos = 0;
  if (!streammember::SectorOffset(*this, sector, sectorSize, sectorNumber, pos)) return kSizeNeedMore;
  auto finish = [&]() {
    m_llSize = (m_llWalk + sectorSize - 1) / sectorSize * sectorSize;
    m_eType = kRawTypeMid;
    streammember::NameRange(*this, streammember::kFormA, sectorNumber);
    return kSizeDone;
  };
  if (pos > kCap) return finish();
  const StreamBytes bytes(sector, sectorSize, context);
  std::size_t at = 0;
  while (m_llWalk < pos + sectorSize) {
    if (!bytes.Locate(m_llWalk - pos, 8, at)) return kSizeNeedMore;  // not loaded yet
    if (!streammember::EqualsNoCase(bytes.View().Data() + at, "MTrk", 4)) return finish();
    const long long next = m_llWalk + static_cast<long long>(bytes.View().U32Be(at + 4)) + 8;
    if (next > kCap) return finish();  // a length past the cap ends the walk
    m_llWalk = next;
  }
  return kSizeNeedMore;
}

}  // namespace RawSpeed
