#include "carving/MdbAnalyser.h"

#include <cstring>

#include "carving/RawFileBuffer.h"

namespace {
bool KnownPage(unsigned t) { return (t >> 8) == 1 && (t & 0xFF) >= 1 && (t & 0xFF) <= 9; }
}  // namespace

int FileMDBAnalyser::HeaderType(const unsigned char* sector) {
  static constexpr unsigned char kLead[] = {0x00, 0x01, 0x00, 0x00};
  if (sector == nullptr || std::memcmp(sector, kLead, 4) != 0 || sector[19] != 0) return 0;
  if (std::memcmp(sector + 4, "Standard Jet DB", 15) == 0) return kRawTypeMdb;
  if (std::memcmp(sector + 4, "Standard ACE DB", 15) == 0) return kRawTypeAccdb;
  return 0;
}

int FileMDBAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  const int type = HeaderType(sector);
  if (type == 0) return 0;
  probe.m_eType = type;
  return 1;
}

bool FileMDBAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
  info.m_llSize = 0;
  if (device == nullptr) return false;
  RawFileBuffer reader(device, static_cast<unsigned long long>(info.m_llStartSector));
  unsigned char head[20];
  if (!reader.Read(0, head, sizeof(head)) || HeaderType(head) == 0) return false;
  long long offset = 4096;
  while (offset <= kLimit) {
    unsigned char page[2];
    if (!reader.Read(static_cast<unsigned long long>(offset), page, 2)) break;
    if (page[0] == 0 || (page[0] | (page[1] << 8)) >= 0x0902) break;
    offset += 4096;
  }
  info.m_llSize = offset;
  if (info.m_eType == kRawTypeRaw) info.m_eType = HeaderType(head);
  return true;
}

namespace RawSpeed {

int CMDBAnalyser::MDBRawFileInfo::Finish(long long size, long long sectorNumber) {
  m_llSize = size;
  streammember::NameRange(*this, streammember::kFormA, sectorNumber);
  return kSizeDone;
}

int CMDBAnalyser::MDBRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                                              SearchContext& context) {
  long long pos = 0;
  if (!streammember::SectorOffset(*this, sector, sectorSize, sectorNumber, pos)) return kSizeNeedMore;
  if (pos < kPage || pos % kPage != 0) return kSizeNeedMore;
  if (pos > kCap || (!m_bWalking && context.zeroTailBytes >= 9)) {
    m_bEndGuessed = true;
    return Finish(pos, sectorNumber);
  }
  if (!m_bWalking) return kSizeNeedMore;
  const unsigned t = static_cast<unsigned>(sector[0] | (sector[1] << 8));
  if (t != 0 && !KnownPage(t)) {
    m_bForeign = true;
    if (pos == kPage) {
      m_bWalking = false;
      return kSizeNeedMore;
    }
  } else {
    m_iEmptyPages = t == 0 ? m_iEmptyPages + 1 : 0;
  }
  if (m_iEmptyPages <= 35 && !m_bForeign) return kSizeNeedMore;
  return Finish(m_iEmptyPages == 0 ? pos : pos - (m_iEmptyPages - 1) * kPage, sectorNumber);
}

}  // namespace RawSpeed
