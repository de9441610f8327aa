#include "carving/ZeroEndRawFileInfo.h"

int CZeroEndRawFileInfo::extraZeroPos(const unsigned char* sector, int sectorSize) const {
  // Bisect in units for the start of the zero run, then step back over zeros.
  const int unit = m_iUnit > 0 ? m_iUnit : 1;
  auto zeroFrom = [&](int from) {
    for (int i = from; i < sectorSize; ++i) {
      if (sector[i] != 0) return false;
    }
    return true;
  };
  int lo = 0;
  int hi = (sectorSize - 32) / unit;
  if (hi < 0) hi = 0;
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    if (zeroFrom(mid * unit)) {
      hi = mid;
    } else {
      lo = mid + 1;
    }
  }
  int end = lo * unit;
  if (end > sectorSize) end = sectorSize;
  while (end > 0 && sector[end - 1] == 0) --end;
  return end;
}

int CZeroEndRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                                     SearchContext& context) {
  long long pos = 0;
  if (!streammember::SectorOffset(*this, sector, sectorSize, sectorNumber, pos)) return kSizeNeedMore;
  // The end is only ever a guess: the file never runs into the next one.
  if (context.fileStartsHere && pos > 0) {
    m_llSize = pos;
    m_bEndGuessed = true;
    streammember::NameRange(*this, streammember::kFormA, sectorNumber);
    return kSizeDone;
  }
  const int z = context.zeroTailBytes;
  int result = 2;
  if (pos + sectorSize < m_llMinimum || z == 0) {
    m_llSize = pos + sectorSize;
  } else if (z >= sectorSize) {
    m_llSize = pos + sectorSize;
    result = 1;
  } else if (z < 32) {
    m_llSize = pos + sectorSize - z;
    result = 1;
  } else {
    m_llSize = pos + extraZeroPos(sector, sectorSize);
    result = 1;
  }
  if (m_llSize > m_llCap) {
    m_llSize = m_llCap;
    result = 1;
  }
  if (result == 1) {
    m_bEndGuessed = true;
    streammember::NameRange(*this, streammember::kFormA, sectorNumber);
  } else {
    m_llSize = 0;  // not settled yet
  }
  return result;
}
