#include "carving/InddAnalyser.h"

#include <cstring>

namespace RawSpeed {

namespace {
constexpr unsigned char kHeader[] = {0x06, 0x06, 0xED, 0xF5, 0xD8, 0x1D, 0x46, 0xE5, 0xBD, 0x31, 0xEF, 0xE7,
                                     0xFE, 0x74, 0xB7, 0x1D, 'D',  'O',  'C',  'U',  'M',  'E',  'N',  'T'};
constexpr unsigned char kObject[] = {0xDE, 0x39, 0x39, 0x79, 0x51, 0x88, 0x4B, 0x6C,
                                     0x8E, 0x63, 0xEE, 0xF8, 0xAE, 0xE0, 0xDD, 0x38};
}  // namespace

bool InddAnalyser::IsInddHeader(const unsigned char* sector) {
  return sector != nullptr && std::memcmp(sector, kHeader, sizeof(kHeader)) == 0;
}

int InddAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (!IsInddHeader(sector)) return 0;
  probe.m_eType = kRawTypeIndd;
  return 1;
}

int InddAnalyser::InddRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                                               SearchContext& context) {
  long long pos = 0;
  if (!streammember::SectorOffset(*this, sector, sectorSize, sectorNumber, pos)) return kSizeNeedMore;
  if (pos > kCap) return kSizeDone;
  const StreamBytes bytes(sector, sectorSize, context);
  const ByteView& v = bytes.View();
  std::size_t at = 0;
  if (m_llWalk < 0) {
    if (!bytes.Locate(-pos, 284, at) || !IsInddHeader(v.Data() + at)) return kSizeDone;
    m_llWalk = static_cast<long long>(static_cast<unsigned>(v.U32Le(at + 280) * 4096u));
  }
  bool done = false;
  while (!done && m_llWalk <= pos + sectorSize && m_llWalk <= kCap) {
    if (!bytes.Locate(m_llWalk - pos, 28, at)) return kSizeNeedMore;  // the object header arrives later
    if (!v.Equals(at, kObject, sizeof(kObject))) {
      done = true;
    } else {
      m_llWalk += static_cast<long long>(v.U32Le(at + 24)) + 64;
    }
  }
  if (!done) return kSizeNeedMore;
  m_llSize = (m_llWalk & ~0xFFFLL) + 4096;
  streammember::NameRange(*this, streammember::kFormA, sectorNumber);
  return kSizeDone;
}

}  // namespace RawSpeed
