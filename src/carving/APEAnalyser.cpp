#include "carving/APEAnalyser.h"

#include <cstring>

#include "carving/StreamBytes.h"
#include "core/util/ByteView.h"

namespace BruteForce {

int CAPEAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr || std::memcmp(sector, "MAC ", 4) != 0) return 0;
  probe.m_eType = kRawTypeApe;
  return 1;
}

int CAPERawFileInfo::Finish(long long size) {
  if (size < 0) size = 0;
  if (size > kCap) size = kCap;
  m_llSize = size;
  return 1;
}

// 0: go on; 1: finished.
int CAPERawFileInfo::Start(const StreamBytes& bytes) {
  const ByteView& v = bytes.View();
  std::size_t at = 0;
  if (!bytes.Locate(0, 52, at)) return Finish(0);
  m_uVersion = v.U16Le(at + 4);
  if (m_uVersion < 1000 || m_uVersion > 9999) return Finish(0);
  if (m_uVersion >= 3980) {
    const unsigned long long descriptor = v.U32Le(at + 8);
    std::size_t h = 0;
    if (descriptor < 1 || !bytes.Locate(static_cast<long long>(descriptor), 24, h)) return Finish(0);
    const unsigned bits = v.U16Le(h + 16);
    const unsigned channels = v.U16Le(h + 18);
    m_iBlockAlign = static_cast<int>(bits / 8 * channels);
    if (m_iBlockAlign == 0 || (channels != 1 && channels != 2)) return Finish(0);
    const unsigned long long total =
        v.U64Le(at + 24) + v.U32Le(at + 12) + descriptor + v.U32Le(at + 16) + v.U32Le(at + 20) + v.U32Le(at + 32);
    if (v.U64Le(at + 24) > static_cast<unsigned long long>(kCap)) return Finish(kCap);
    m_llSize = static_cast<long long>(total);
    return 0;
  }
  const unsigned flags = v.U16Le(at + 8);
  const unsigned channels = v.U16Le(at + 10);
  const unsigned long long wav = v.U32Le(at + 16);
  const unsigned long long frames = v.U32Le(at + 24);
  const int bytesPerSample = (flags & 1) != 0 ? 1 : ((flags & 8) != 0 ? 3 : 2);
  m_iBlockAlign = static_cast<int>(channels) * bytesPerSample;
  if (m_iBlockAlign == 0 || (channels != 1 && channels != 2)) return Finish(0);
  unsigned long long p = 32;
  if ((flags & 4) != 0) p += 4;
  unsigned long long elements = 0;
  if ((flags & 16) != 0) {
    elements = v.U32Le(at + p);
    p += 4;
  }
  if (wav != 0) p += 44;
  m_u64TablePos = p;
  m_u64SeekRemainder = elements != 0 ? elements : frames;
  return 0;
}

bool CAPERawFileInfo::ReadSeekTable(const StreamBytes& bytes, long long pos) {
  const ByteView& v = bytes.View();
  std::size_t at = 0;
  if (m_u64TableEnd == 0) {
    if (!bytes.Locate(static_cast<long long>(m_u64TablePos) - pos, 4, at)) return false;
    const unsigned long long first = v.U32Le(at);
    if (first < 1 || first > kLimit) return false;
    m_u64TableEnd = first;
  }
  while (m_u64SeekRemainder > 0 && m_u64TablePos + 4 <= m_u64TableEnd) {
    const long long rel = static_cast<long long>(m_u64TablePos) - pos;
    if (!bytes.Locate(rel, 4, at)) {
      if (rel >= 0) return false;  // in a later sector
      break;
    }
    const unsigned long long entry = v.U32Le(at);
    if (entry == 0 || entry > kLimit) break;
    if (entry > m_u64LastFrame) m_u64LastFrame = entry;
    m_u64TablePos += 4;
    --m_u64SeekRemainder;
  }
  m_bTableDone = true;
  m_llSize = static_cast<long long>(m_u64LastFrame);
  return true;
}

int CAPERawFileInfo::searchTag(const unsigned char* sector, int sectorSize) {
  const ByteView v(sector, static_cast<std::size_t>(sectorSize));
  int zeros = 0;
  for (int k = sectorSize - 1; k >= 0 && sector[k] == 0; --k) ++zeros;
  for (int p = sectorSize - 32; p >= 0; --p) {
    if (!v.Equals(static_cast<std::size_t>(p), "APETAGEX", 8)) continue;
    const unsigned long long tagSize = v.U32Le(p + 12);
    const unsigned items = v.U32Le(p + 16);
    const unsigned tagFlags = v.U32Le(p + 20);
    if (items > 0xFFFF || tagSize > 0x1000020) continue;
    if ((tagFlags & (1u << 29)) != 0) continue;  // the header, not the footer
    const long long sectorStart = static_cast<long long>(m_u64Bytes) - sectorSize;
    if (m_uVersion < 3980) return Finish(sectorStart + p + 32);
    return Finish(m_llSize + static_cast<long long>(tagSize) + ((tagFlags & (1u << 31)) != 0 ? 32 : 0));
  }
  if (m_uVersion >= 3980) return Finish(m_llSize);
  long long used = static_cast<long long>(m_u64Bytes) - zeros;
  const long long align = m_iBlockAlign > 0 ? m_iBlockAlign : 4;
  used = (used + align - 1) / align * align + align;
  return Finish(used);
}

int CAPERawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                                 SearchContext& context) {
  if (sector == nullptr || sectorSize <= 0 || sectorNumber < m_llStartSector) return kSizeNeedMore;
  const StreamBytes bytes(sector, sectorSize, context);
  const long long pos = (sectorNumber - m_llStartSector) * sectorSize;
  if (!m_bStarted) {
    m_bStarted = true;
    if (Start(bytes) != 0) return kSizeDone;
  }
  m_u64Bytes += static_cast<unsigned long long>(sectorSize);
  if (m_u64Bytes > kLimit || m_llSize > static_cast<long long>(kLimit)) return Finish(m_llSize);
  if (m_uVersion >= 3980) {
    if (m_u64Bytes < static_cast<unsigned long long>(m_llSize)) return kSizeDone;
    return searchTag(sector, sectorSize);
  }
  if (!m_bTableDone && !ReadSeekTable(bytes, pos)) return kSizeNeedMore;
  if (m_llSize == 0) return kSizeNeedMore;
  if (m_u64Bytes < static_cast<unsigned long long>(m_llSize)) return kSizeNeedMore;
  if (context.zeroTailBytes == 0) {
    m_llSize = static_cast<long long>(m_u64Bytes);
    return kSizeNeedMore;
  }
  return searchTag(sector, sectorSize);
}

}  // namespace BruteForce
