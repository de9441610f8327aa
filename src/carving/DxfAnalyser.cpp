#include "carving/DxfAnalyser.h"

#include <cstring>

namespace BruteForce {

namespace {
constexpr char kCrLfSection[] = "  0\r\nSECTION\r\n  ";  // 16 bytes
constexpr char kLfSection[] = "  0\nSECTION\n  ";        // 14 bytes
}  // namespace

int CDXFAnalyser::AnalyseBufferEx(unsigned char* sector, CRawFileInfo& probe, long long sectorSize, long long,
                                  long long, long long) {
  if (sector == nullptr || sectorSize < 16) return 0;
  if (std::memcmp(sector, kCrLfSection, 16) == 0) {
    probe.m_eType = kRawTypeDxf;
    return 1;
  }
  if (std::memcmp(sector, "999", 3) != 0) return 0;
  const char* pattern = nullptr;
  long long length = 0;
  if (sector[3] == '\n') {
    pattern = kLfSection;
    length = 14;
  } else if (sector[3] == '\r' && sector[4] == '\n') {
    pattern = kCrLfSection;
    length = 16;
  } else {
    return 0;
  }
  long long text = 0;
  while (text < sectorSize && sector[text] != 0) ++text;
  if (streammember::FindBytes(sector, text, pattern, length) < 0) return 0;
  probe.m_eType = kRawTypeDxf;
  return 1;
}

int CDXFRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                                 SearchContext& context) {
  long long pos = 0;
  if (!streammember::SectorOffset(*this, sector, sectorSize, sectorNumber, pos)) return kSizeNeedMore;
  if (m_iMarkerLength == 0) {
    const StreamBytes head(sector, sectorSize, context);
    std::size_t at = 0;
    const bool lf = head.Locate(-pos + 3, 1, at) && head.View().U8(at) == '\n';
    const char* marker = lf ? "  0\nEOF\n" : "  0\r\nEOF\r\n";
    m_iMarkerLength = lf ? 8 : 10;
    std::memcpy(m_marker, marker, static_cast<std::size_t>(m_iMarkerLength));
  }
  // Search this sector and the bytes before it, so a marker cut by the
  // sector boundary is found too.
  const StreamBytes bytes(sector, sectorSize, context);
  std::size_t at = 0;
  long long back = m_iMarkerLength - 1;
  if (pos < back || !bytes.Locate(-back, static_cast<std::size_t>(sectorSize + back), at)) back = 0;
  const unsigned char* window = back != 0 ? bytes.View().Data() + at : sector;
  const int found = RawUtility::FindMagicInBuffer(window, static_cast<int>(sectorSize + back), context.zeroTailBytes,
                                                  m_marker, m_iMarkerLength);
  if (found > 0) {
    m_llSize = pos - back + found;
    streammember::NameRange(*this, streammember::kFormA, sectorNumber);
    return kSizeDone;
  }
  if (pos + sectorSize >= kCap) {
    m_llSize = kCap;
    m_bEndGuessed = true;
    streammember::NameRange(*this, streammember::kFormA, sectorNumber);
    return kSizeDone;
  }
  return kSizeNeedMore;
}

}  // namespace BruteForce
