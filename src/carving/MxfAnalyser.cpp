#include "carving/MxfAnalyser.h"

#include <cstring>

namespace RawSpeed {

namespace {
constexpr unsigned char kKey[] = {0x06, 0x0E, 0x2B, 0x34};
}

int MxfAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  static constexpr unsigned char kPartition[] = {0x02, 0x05, 0x01};
  if (sector == nullptr || std::memcmp(sector, kKey, 4) != 0 || std::memcmp(sector + 4, kPartition, 3) != 0) return 0;
  if (sector[20] != 0x00 || sector[21] != 0x01) return 0;
  const ByteView h(sector, 52);
  if (h.U32Le(48) == h.U32Le(32) && h.U32Le(48) != 0) return 0;  // a footer partition
  probe.m_eType = kRawTypeMxf;
  return 1;
}

int MxfAnalyser::MxfRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                                             SearchContext& context) {
  long long pos = 0;
  if (!streammember::SectorOffset(*this, sector, sectorSize, sectorNumber, pos)) return kSizeNeedMore;
  if (pos > kCap) return kSizeDone;
  const StreamBytes bytes(sector, sectorSize, context);
  while (m_llWalk < pos + sectorSize && m_llWalk <= kCap) {
    std::size_t at = 0;
    if (!bytes.Locate(m_llWalk - pos, 20, at)) return kSizeNeedMore;  // the packet header arrives later
    if (!bytes.View().Equals(at, kKey, 4)) {
      m_llSize = m_llWalk;
      streammember::NameRange(*this, streammember::kFormA, sectorNumber);
      return kSizeDone;
    }
    m_llWalk += static_cast<long long>(bytes.View().U32Be(at + 16) & 0xFFFFFF) + 20;
  }
  return kSizeNeedMore;
}

}  // namespace RawSpeed
