#include "carving/TarAnalyser.h"

#include <algorithm>
#include <cstdio>

#include "carving/StreamBytes.h"
#include "carving/TarHeader.h"

namespace RawSpeed {

void TARAnalyser::TARRawFileInfo::WillBeRemove(unsigned char*, long long) {
  if (auto* owner = dynamic_cast<TARAnalyser*>(m_pAnalyser)) m_pAnalyser = owner->Reader();
}

int TARAnalyser::TARRawFileInfo::Finish(long long sectorNumber, long long size) {
  char name[1024];
  std::snprintf(name, sizeof(name), "%lld-%lld_", m_llStartSector, sectorNumber);
  m_strName = name;
  m_llSize = size;
  m_eType = kRawTypeTar;
  return 1;
}

int TARAnalyser::TARRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                                             SearchContext& context) {
  if (sector == nullptr || sectorSize <= 0 || sectorNumber < m_llStartSector) return kSizeNeedMore;
  const long long pos = (sectorNumber - m_llStartSector) * sectorSize;
  const StreamBytes bytes(sector, sectorSize, context);
  const ByteView& v = bytes.View();
  std::size_t at = 0;
  while (m_llEnd < 0 && m_llWalk < pos + sectorSize) {
    if (!bytes.Locate(m_llWalk - pos, kTarRecord, at)) return kSizeNeedMore;
    if (!IsTarHeader(v.Data() + at)) {
      m_llEnd = m_llWalk + 2 * kTarRecord;
      break;
    }
    const long long size = TarMemberSize(v.Data() + at);
    if (size < 0 || size > 0x7FFFFFFFFFFFll) {
      m_llSize = 0;
      return kSizeDone;
    }
    m_llWalk += kTarRecord + TarDataRecords(size);
  }
  if (m_llEnd < 0) return kSizeNeedMore;
  // GNU tar's zero padding up to its blocking size.
  while (m_llEnd % kTarBlocking != 0) {
    if (!bytes.Locate(m_llEnd - pos, kTarRecord, at)) {
      if (m_llEnd - pos + kTarRecord > bytes.After()) return kSizeNeedMore;  // still to come
      break;
    }
    if (!std::all_of(v.Data() + at, v.Data() + at + kTarRecord, [](unsigned char c) { return c == 0; })) break;
    m_llEnd += kTarRecord;
  }
  return Finish(sectorNumber, m_llEnd);
}

}  // namespace RawSpeed
