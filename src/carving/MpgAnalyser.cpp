#include "carving/MpgAnalyser.h"

namespace Kalder {

void MPGAnalyser::MPGRawFileInfo::initMPGFileInfoMemValue() {
  m_llWalk = 0;
  m_walk = MpgWalk();
  m_llCap = kCap;
}

int MPGAnalyser::MPGRawFileInfo::bContinue(const StreamBytes& bytes, long long pos, long long sectorEnd,
                                           bool startSector) {
  if (pos >= 10 * m_llCap) return kWalkEnded;
  const ByteView& v = bytes.View();
  std::size_t at = 0;
  if (startSector) {
    if (!bytes.Locate(-pos, 8, at)) return kWalkEnded;
    m_walk.Start(v.Data() + at);
  }
  for (int step = 0; step < 1025; ++step) {
    if (m_llWalk >= sectorEnd) return kWalkNeedsMore;
    if (!bytes.Locate(m_llWalk - pos, 1, at)) return kWalkNeedsMore;
    const auto available = static_cast<long long>(v.Size() - at);
    switch (m_walk.Step(v.Data() + at, available, m_llWalk)) {
      case MpgWalk::kGoOn:
        break;
      case MpgWalk::kNeedBytes:
        return kWalkNeedsMore;  // the rest arrives with the next block
      case MpgWalk::kNoFile:
        m_llWalk = 0;
        return kWalkEnded;
      case MpgWalk::kProgramEnd:
        return kWalkEnded;
      case MpgWalk::kEnd:
        m_llWalk += m_walk.zeroRun >= MpgWalk::kZeroRunLimit ? 20 : 18;
        return kWalkEnded;
    }
  }
  m_llWalk += 18;
  return kWalkEnded;
}

int MPGAnalyser::MPGRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                                             SearchContext& context) {
  long long pos = 0;
  if (!streammember::SectorOffset(*this, sector, sectorSize, sectorNumber, pos)) return kSizeDone;
  const StreamBytes bytes(sector, sectorSize, context);
  if (bContinue(bytes, pos, pos + sectorSize, sectorNumber == m_llStartSector) == kWalkNeedsMore) return kSizeNeedMore;
  if (m_llWalk <= 0) return kSizeDone;
  m_llSize = pos < 10 * m_llCap ? m_llWalk : m_llCap;
  m_bEndGuessed = pos >= 10 * m_llCap;
  m_eType = kRawTypeMpg;
  streammember::NameRange(*this, streammember::kFormA, sectorNumber);
  return kSizeDone;
}

}  // namespace Kalder
