#include "carving/AepAnalyser.h"

#include <cstring>

namespace RawSpeed {

int AEPAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr || std::memcmp(sector, "RIFX", 4) != 0 || std::memcmp(sector + 8, "Egg", 3) != 0) return 0;
  probe.m_eType = kRawTypeAep;
  return 1;
}

int AEPAnalyser::AEPRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                                             SearchContext& context) {
  long long pos = 0;
  if (!streammember::SectorOffset(*this, sector, sectorSize, sectorNumber, pos)) return kSizeNeedMore;
  if (pos > kCap) return kSizeDone;
  const StreamBytes bytes(sector, sectorSize, context);
  std::size_t at = 0;
  if (m_llWalk < 0) {
    if (!bytes.Locate(4 - pos, 4, at)) return kSizeDone;
    m_llWalk = static_cast<int>(bytes.View().U32Be(at));
    if (m_llWalk <= 0) return kSizeDone;
  }
  if (!m_bXmp) {
    if (m_llWalk > pos + sectorSize) return kSizeNeedMore;
    if (!bytes.Locate(m_llWalk + 8 - pos, 9, at)) return m_llWalk + 8 < pos ? 1 : 2;
    if (!bytes.View().Equals(at, "<?xpacket", 9)) {
      m_llSize = m_llWalk + 8;
      streammember::NameRange(*this, streammember::kFormA, sectorNumber);
      return kSizeDone;
    }
    m_bXmp = true;
  }
  if (context.zeroTailBytes < 9) return kSizeNeedMore;
  m_llSize = pos + BruteForce::RawUtility::Binary_Compare(sector, sectorSize) + 8;
  m_bEndGuessed = true;
  streammember::NameRange(*this, streammember::kFormA, sectorNumber);
  return kSizeDone;
}

}  // namespace RawSpeed
