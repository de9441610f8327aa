#include "carving/RarAnalyser.h"

#include <cstdio>
#include <cstring>

#include "carving/RarBlock.h"
#include "carving/StreamBytes.h"

namespace RawSpeed {

void RARAnalyser::RARRawFileInfo::WillBeRemove(unsigned char*, long long) {
  if (auto* owner = dynamic_cast<RARAnalyser*>(m_pAnalyser)) m_pAnalyser = owner->Reader();
}

int RARAnalyser::RARRawFileInfo::Finish(long long sectorNumber, long long size) {
  char name[1024];
  std::snprintf(name, sizeof(name), "%lld-%lld_", m_llStartSector, sectorNumber);
  m_strName = name;
  m_llSize = size;
  m_eType = kRawTypeRar;
  return 1;
}

int RARAnalyser::RARRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                                             SearchContext& context) {
  if (sector == nullptr || sectorSize <= 0 || sectorNumber < m_llStartSector) return kSizeNeedMore;
  const long long pos = (sectorNumber - m_llStartSector) * sectorSize;
  if (pos > kCap) return Finish(sectorNumber, m_llWalk);
  const StreamBytes bytes(sector, sectorSize, context);
  const ByteView& v = bytes.View();
  std::size_t at = 0;
  if (m_bFirst) {
    // The archive header follows the marker in the first sector.
    if (!bytes.Locate(7, 505, at)) return kSizeNeedMore;
    const long long size = classRarSearch::BlockSize(v.Data() + at, 505);
    if (size < 0) {
      m_llSize = 0;  // no archive header: the device reader decides
      return kSizeDone;
    }
    m_llWalk += size;
    m_bFirst = false;
  }
  while (m_bWalkValid && m_llWalk <= pos + sectorSize + kLookAhead) {
    if (!bytes.Locate(m_llWalk - pos, 32, at)) return kSizeNeedMore;  // waits for the next block
    const long long size = classRarSearch::BlockSize(v.Data() + at, 32);
    if (size < 0) {
      m_bWalkValid = false;
      break;
    }
    m_llWalk += size;
  }
  if (m_llWalk > pos + sectorSize + kLookAhead && m_bWalkValid) return kSizeNeedMore;
  if (bytes.Locate(m_llWalk - pos, sizeof(kRarEndBlock), at) && v.Equals(at, kRarEndBlock, sizeof(kRarEndBlock))) {
    return Finish(sectorNumber, m_llWalk + static_cast<long long>(sizeof(kRarEndBlock)));
  }
  return kSizeNeedMore;
}

}  // namespace RawSpeed
