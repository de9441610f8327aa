#include "carving/MlvAnalyser.h"

#include <cstring>

namespace RawSpeed {

bool MLvAnalyser::KnownBlock(const unsigned char* type) {
  static constexpr const char* kTypes[] = {"MLVI", "RAWI", "INFO", "RTCI", "EXPO", "LENS", "IDNT", "WBAL",
                                           "STYL", "WAVI", "MARK", "VIDF", "NULL", "AUDF", "BKUP"};
  for (const char* t : kTypes) {
    if (std::memcmp(type, t, 4) == 0) return true;
  }
  return false;
}

int MLvAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr || std::memcmp(sector, "MLVI", 4) != 0 || std::memcmp(sector + 52, "RAWI", 4) != 0) return 0;
  probe.m_eType = kRawTypeMlv;
  return 1;
}

int MLvAnalyser::MLvRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                                             SearchContext& context) {
  long long pos = 0;
  if (!streammember::SectorOffset(*this, sector, sectorSize, sectorNumber, pos)) return kSizeNeedMore;
  const StreamBytes bytes(sector, sectorSize, context);
  while (m_llWalk < pos + sectorSize && m_llWalk <= kCap) {
    std::size_t at = 0;
    if (!bytes.Locate(m_llWalk - pos, 8, at)) break;  // the block header arrives later
    const unsigned size = bytes.View().U32Le(at + 4);
    if (!KnownBlock(bytes.View().Data() + at) || size == 0) {
      // A zero fill seen before the walk's end would cut blocks already walked.
      m_llSize = m_llEnd > m_llWalk ? m_llEnd : m_llWalk;
      streammember::NameRange(*this, streammember::kFormA, sectorNumber);
      return kSizeDone;
    }
    m_bAdvanced = true;
    m_llWalk += size;
  }
  if (pos > kCap) {
    m_llSize = m_llWalk;
    streammember::NameRange(*this, streammember::kFormA, sectorNumber);
    return kSizeDone;
  }
  if (context.zeroTailBytes >= 16 && m_bAdvanced) {
    m_bAdvanced = false;
    m_llEnd = pos + BruteForce::RawUtility::Binary_Compare(sector, sectorSize);
  }
  return kSizeNeedMore;
}

}  // namespace RawSpeed
