#include "carving/FileMIDAnalyser.h"

#include <cstring>

#include "carving/RawFileBuffer.h"
#include "carving/StreamMember.h"
#include "core/util/ByteView.h"

bool FileMIDAnalyser::IsMidHeader(const unsigned char* sector) {
  if (sector == nullptr || std::memcmp(sector, "MThd", 4) != 0) return false;
  const ByteView h(sector, 14);
  return h.U32Be(4) == 6 && h.U16Be(8) <= 2 && h.U16Be(10) != 0;
}

int FileMIDAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (!IsMidHeader(sector)) return 0;
  probe.m_eType = kRawTypeMid;
  return 1;
}

bool FileMIDAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
  info.m_llSize = 0;
  if (device == nullptr) return false;
  RawFileBuffer reader(device, static_cast<unsigned long long>(info.m_llStartSector));
  unsigned char head[14];
  if (!reader.Read(0, head, sizeof(head)) || !IsMidHeader(head)) return false;
  long long p = 14;
  while (p <= kLimit) {
    unsigned char chunk[8];
    if (!reader.Read(static_cast<unsigned long long>(p), chunk, sizeof(chunk))) break;
    if (!streammember::EqualsNoCase(chunk, "MTrk", 4)) break;
    p += static_cast<long long>(ByteView(chunk, 8).U32Be(4)) + 8;
  }
  const long long ss = reader.SectorSize();
  info.m_llSize = (p + ss - 1) / ss * ss;
  info.m_eType = kRawTypeMid;
  return true;
}
