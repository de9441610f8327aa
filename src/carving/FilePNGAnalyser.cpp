#include "carving/FilePNGAnalyser.h"

#include <cstring>

#include "carving/RawFileBuffer.h"
#include "core/util/ByteView.h"

bool FilePNGAnalyser::IsPngHeader(const unsigned char* sector) {
  static constexpr unsigned char kSignature[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  return sector != nullptr && std::memcmp(sector, kSignature, sizeof(kSignature)) == 0;
}

int FilePNGAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (!IsPngHeader(sector)) return 0;
  probe.m_eType = kRawTypePng;
  return 1;
}

bool FilePNGAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
  info.m_llSize = 0;
  if (device == nullptr) return false;
  RawFileBuffer reader(device, static_cast<unsigned long long>(info.m_llStartSector));
  unsigned char head[24];
  if (!reader.Read(0, head, sizeof(head))) return false;
  const ByteView h(head, sizeof(head));
  if (!h.Equals(12, "IHDR", 4) || static_cast<int>(h.U32Be(16)) <= 0 || static_cast<int>(h.U32Be(20)) <= 0) {
    return false;
  }
  long long p = static_cast<long long>(h.U32Be(8)) + 20;
  while (p <= kLimit) {
    unsigned char chunk[8];
    if (!reader.Read(static_cast<unsigned long long>(p), chunk, sizeof(chunk))) break;
    const ByteView c(chunk, sizeof(chunk));
    const long long length = c.U32Be(0);
    if (length > kLimit) break;
    p += length + 12;
    if (c.Equals(4, "IEND", 4)) break;
  }
  info.m_llSize = p;
  info.m_eType = kRawTypePng;
  return true;
}
