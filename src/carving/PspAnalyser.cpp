#include "carving/PspAnalyser.h"

#include <cstring>

#include "carving/RawFileBuffer.h"

bool FilePSPAnalyser::IsPspHeader(const unsigned char* sector) {
  static constexpr char kMagic[] = "Paint Shop Pro Image File\n\x1a\0\0\0\0\0";
  return sector != nullptr && std::memcmp(sector, kMagic, 32) == 0;
}

int FilePSPAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (!IsPspHeader(sector)) return 0;
  probe.m_eType = kRawTypePsp;
  return 1;
}

bool FilePSPAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
  info.m_llSize = 0;
  if (device == nullptr) return false;
  RawFileBuffer reader(device, static_cast<unsigned long long>(info.m_llStartSector));
  unsigned char head[32];
  if (!reader.Read(0, head, sizeof(head)) || !IsPspHeader(head)) return false;
  long long p = 36;
  while (p <= kLimit) {
    unsigned char block[10];
    if (!reader.Read(static_cast<unsigned long long>(p), block, sizeof(block))) return false;
    if (!IsBlock(block)) break;
    p += static_cast<long long>(ByteView(block, sizeof(block)).U32Le(6)) + 10;
  }
  if (p > kLimit) p = kLimit;
  if (p < 512) return false;
  info.m_llSize = p;
  info.m_eType = kRawTypePsp;
  return true;
}

namespace RawSpeed {

int PSPAnalyser::PSPRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                                             SearchContext& context) {
  long long pos = 0;
  if (!streammember::SectorOffset(*this, sector, sectorSize, sectorNumber, pos)) return kSizeNeedMore;
  auto finish = [&](long long size) {
    m_llSize = size;
    streammember::NameRange(*this, streammember::kFormC, sectorNumber);
    return kSizeDone;
  };
  if (pos > kCap) return finish(m_llWalk);
  const StreamBytes bytes(sector, sectorSize, context);
  while (m_llWalk < pos + sectorSize) {
    std::size_t at = 0;
    if (!bytes.Locate(m_llWalk - pos, 10, at)) return kSizeNeedMore;  // the block header arrives later
    if (!FilePSPAnalyser::IsBlock(bytes.View().Data() + at)) return finish(m_llWalk);
    m_llWalk += static_cast<long long>(bytes.View().U32Le(at + 6)) + 10;
  }
  return kSizeNeedMore;
}

}  // namespace RawSpeed
