#include "carving/FlvAnalyser.h"

#include <cstring>

namespace Kalder {

int FLVAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo&) {
  // The type is settled with the size.
  return sector != nullptr && std::memcmp(sector, "FLV", 3) == 0 ? 1 : 0;
}

void FLVAnalyser::FLVRawFileInfo::initFLVFileInfoMemValue() {
  m_llWalk = 0;
  m_walk = FlvTagWalk();
  m_llCap = kCap;
}

int FLVAnalyser::FLVRawFileInfo::bContinue(const StreamBytes& bytes, long long pos, long long sectorEnd,
                                           bool startSector) {
  if (pos >= 10 * m_llCap) return kWalkEnded;
  const ByteView& v = bytes.View();
  std::size_t at = 0;
  if (startSector) {
    if (!bytes.Locate(-pos, 13, at) || v.U8(at + 3) != 1) return kWalkEnded;
    m_llWalk += 9;
    if (v.U32Be(at + 9) != 0) return kWalkEnded;
  }
  for (int step = 0; step < 1025; ++step) {
    if (m_llWalk >= sectorEnd) return kWalkNeedsMore;
    if (!bytes.Locate(m_llWalk - pos, 8, at)) return kWalkNeedsMore;  // carried to the next block
    if (!m_walk.Step(v.Data() + at, m_llWalk)) return kWalkEnded;
  }
  return kWalkEnded;
}

int FLVAnalyser::FLVRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                                             SearchContext& context) {
  long long pos = 0;
  if (!streammember::SectorOffset(*this, sector, sectorSize, sectorNumber, pos)) return kSizeDone;
  const long long sectorEnd = pos + sectorSize;
  if (sectorEnd < m_llWalk) return kSizeNeedMore;
  const StreamBytes bytes(sector, sectorSize, context);
  if (bContinue(bytes, pos, sectorEnd, sectorNumber == m_llStartSector) == kWalkNeedsMore) return kSizeNeedMore;
  if (m_llWalk == 0) return kSizeDone;
  m_llSize = pos < 10 * m_llCap ? m_llWalk : m_llCap;
  m_bEndGuessed = pos >= 10 * m_llCap;
  m_eType = kRawTypeFlv;
  streammember::NameRange(*this, streammember::kFormA, sectorNumber);
  return kSizeDone;
}

}  // namespace Kalder
