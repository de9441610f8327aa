#include "carving/ADTSAnalyser.h"

#include "carving/StreamBytes.h"

namespace BruteForce {

bool CADTSAnalyser::s_overflow = false;

namespace {
constexpr int kMaxFramesPerSector = 4096;
}

unsigned CADTSAnalyser::FrameLength(const ByteView& v, std::size_t at) {
  if (!v.Has(at, 9)) return 0;
  if (v.U16Be(at) < 0xFFF0 || (v.U8(at + 1) & 0x06) != 0) return 0;
  return ((v.U8(at + 3) & 0x03u) << 11) | (static_cast<unsigned>(v.U8(at + 4)) << 3) | (v.U8(at + 5) >> 5);
}

int CADTSAnalyser::AnalyseBufferEx(unsigned char* sector, CRawFileInfo& probe, long long sectorSize,
                                   long long sectorNumber, long long, long long blockEndSector) {
  if (sector == nullptr || sectorSize <= 0 || blockEndSector <= sectorNumber) return 0;
  const ByteView v(sector, static_cast<std::size_t>((blockEndSector - sectorNumber) * sectorSize));
  std::size_t at = 0;
  for (int good = 0; good < kProbeFrames; ++good) {
    if (!v.Has(at, 9)) {
      if (good == 0) return 0;
      s_overflow = true;
      probe.m_eType = kRawTypeM4a;
      return 1;
    }
    const unsigned length = FrameLength(v, at);
    if (length == 0) return 0;
    at += length;
  }
  probe.m_eType = kRawTypeM4a;
  return 1;
}

CADTSRawFileInfo::~CADTSRawFileInfo() { CADTSAnalyser::s_overflow = true; }

int CADTSRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                                  SearchContext& context) {
  if (sector == nullptr || sectorSize <= 0 || sectorNumber < m_llStartSector) return kSizeNeedMore;
  const StreamBytes bytes(sector, sectorSize, context);
  const long long pos = (sectorNumber - m_llStartSector) * sectorSize;
  m_u64Bytes = static_cast<unsigned long long>(pos + sectorSize);
  for (int n = 0; n < kMaxFramesPerSector; ++n) {
    const long long rel = m_llWalk - pos;
    if (rel >= sectorSize) return kSizeNeedMore;
    std::size_t at = 0;
    unsigned length = 0;
    if (bytes.Locate(rel, 9, at)) {
      length = CADTSAnalyser::FrameLength(bytes.View(), at);
    } else if (rel >= 0 && rel + 9 > sectorSize) {
      return kSizeNeedMore;  // the header reaches into the next sector
    }
    if (length == 0) {
      m_llSize = context.zeroTailBytes > 0 ? m_llWalk : 0;
      if (CADTSAnalyser::s_overflow && m_u64Frames <= 4) {
        m_llSize = 0;
        CADTSAnalyser::s_overflow = false;
      }
      return kSizeDone;
    }
    ++m_u64Frames;
    m_llWalk += length;
  }
  return kSizeNeedMore;
}

}  // namespace BruteForce
