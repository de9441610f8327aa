#include "carving/GifAnalyser.h"

#include <cstring>

namespace BruteForce {

namespace {
long long ColourTable(unsigned packed) { return (packed & 0x80) != 0 ? 3LL << ((packed & 7) + 1) : 0; }
}  // namespace

int CGifAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr || std::memcmp(sector, "GIF8", 4) != 0) return 0;
  if (std::memcmp(sector + 4, "7a", 2) != 0 && std::memcmp(sector + 4, "9a", 2) != 0) return 0;
  probe.m_eType = kRawTypeGif;
  return 1;
}

int CGifFileInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) {
  long long pos = 0;
  if (!streammember::SectorOffset(*this, sector, sectorSize, sectorNumber, pos)) return kSizeNeedMore;
  const StreamBytes bytes(sector, sectorSize, context);
  const ByteView& v = bytes.View();
  std::size_t at = 0;
  if (m_bFirst) {
    if (!bytes.Locate(-pos, 13, at)) return kSizeNeedMore;
    m_llWalk = 13 + ColourTable(v.U8(at + 10));
    m_bFirst = false;
  }
  while (m_llWalk < pos + sectorSize) {
    if (!bytes.Locate(m_llWalk - pos, 1, at)) return kSizeNeedMore;
    const unsigned b = v.U8(at);
    if (m_bInSubBlocks) {  // a length byte; 0 ends the run
      m_llWalk += b + 1;
      m_bInSubBlocks = b != 0;
      continue;
    }
    if (b == '!') {
      if (!bytes.Locate(m_llWalk - pos, 3, at)) return kSizeNeedMore;
      const unsigned first = v.U8(at + 2);
      m_llWalk += 3 + first;
      m_bInSubBlocks = first != 0;
    } else if (b == ',') {
      if (!bytes.Locate(m_llWalk - pos, 10, at)) return kSizeNeedMore;
      m_llWalk += 10 + ColourTable(v.U8(at + 9)) + 1;
      m_bInSubBlocks = true;
    } else if (b == ';') {
      // The trailer is the file's last byte.
      m_llSize = m_llWalk + 1;
      m_eType = kRawTypeGif;
      streammember::NameRange(*this, streammember::kFormA, sectorNumber);
      return kSizeDone;
    } else {
      m_llWalk += b + 1;
    }
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
