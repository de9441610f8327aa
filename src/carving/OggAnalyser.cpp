#include "carving/OggAnalyser.h"

namespace Kalder {

int OGGAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (m_i64OggStartSec != -1) return 0;
  return m_pReader->AnalyseBuffer(sector, probe);
}

void OGGAnalyser::OGGRawFileInfo::initOGGFileInfoMemValue() {
  m_llWalk = 0;
  m_llCap = kCap;
}

void OGGAnalyser::OGGRawFileInfo::WillBeRemove(unsigned char* sector, long long sectorNumber) {
  // A stream that leaves the walk no longer holds back other finds.
  if (*m_pStreamStart == m_llStartSector) *m_pStreamStart = -1;
  CStreamRecord::WillBeRemove(sector, sectorNumber);
}

int OGGAnalyser::OGGRawFileInfo::Done(int result) {
  if (result == 1 && *m_pStreamStart == m_llStartSector) *m_pStreamStart = -1;
  return result;
}

int OGGAnalyser::OGGRawFileInfo::bContinue(const StreamBytes& bytes, long long pos, long long sectorEnd) {
  if (pos >= 10 * m_llCap) return kWalkEnded;
  const ByteView& v = bytes.View();
  for (int pages = 0; pages < 513; ++pages) {
    if (m_llWalk >= sectorEnd) return kWalkNeedsMore;
    std::size_t at = 0;
    if (!bytes.Locate(m_llWalk - pos, 27, at)) return kWalkNeedsMore;  // the rest is not loaded yet
    if (!v.Equals(at, "OggS", 4)) return kWalkEnded;
    const unsigned count = v.U8(at + 26);
    if (count == 0) return kWalkEnded;
    if (!bytes.Locate(m_llWalk - pos, 27 + count, at)) return kWalkNeedsMore;
    long long body = 0;
    for (unsigned i = 0; i < count; ++i) body += v.U8(at + 27 + i);
    m_llWalk += 27 + count + body;
  }
  return kWalkEnded;
}

int OGGAnalyser::OGGRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                                             SearchContext& context) {
  long long pos = 0;
  if (!streammember::SectorOffset(*this, sector, sectorSize, sectorNumber, pos)) return Done(1);
  if (sectorNumber == m_llStartSector) *m_pStreamStart = m_llStartSector;
  const long long sectorEnd = pos + sectorSize;
  if (m_llWalk != 0 && sectorEnd < m_llWalk) return kSizeNeedMore;
  const StreamBytes bytes(sector, sectorSize, context);
  if (bContinue(bytes, pos, sectorEnd) == kWalkNeedsMore) return kSizeNeedMore;
  if (m_llWalk == 0) return Done(1);
  m_llSize = pos < 10 * m_llCap ? m_llWalk : m_llCap;
  m_bEndGuessed = pos >= 10 * m_llCap;
  m_eType = kRawTypeOgg;
  streammember::NameRange(*this, streammember::kFormA, sectorNumber);
  return Done(1);
}

}  // namespace Kalder
