#include "carving/LzhAnalyser.h"

#include <cstring>

#include "carving/RawFileBuffer.h"

namespace {
bool Method(const unsigned char* h, const char* m) { return std::memcmp(h + 2, m, 5) == 0; }
}  // namespace

int LzhWalk::Step(const unsigned char* h, long long& end) {
  const ByteView v(h, 11);
  const long long size = v.U8(0);
  const long long packed = v.U32Le(7);
  long long advance = -1;
  if (Method(h, "-lh5-") || Method(h, "-lh0-")) {
    advance = size + packed + (directorySeen ? 0 : 2);
    plusTwo = !directorySeen;
  } else if (Method(h, "-lhd-")) {
    advance = size;
    directorySeen = true;
  } else if (Method(h, "-lh7-")) {
    advance = size + packed;
    directorySeen = true;
  }
  if (advance > 0) {
    d += advance;
    steppedBack = false;
    return 1;
  }
  if (advance == 0 || !plusTwo) {  // an empty header cannot move the walk on
    end = d + 1 + (steppedBack ? 2 : 0);
    return 0;
  }
  plusTwo = false;
  steppedBack = true;
  d -= 2;
  return 1;
}

int FileLZHAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr || !(Method(sector, "-lh5-") || Method(sector, "-lh0-") || Method(sector, "-lhd-"))) return 0;
  probe.m_eType = kRawTypeLzh;
  return 1;
}

bool FileLZHAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
  info.m_llSize = 0;
  if (device == nullptr) return false;
  RawFileBuffer reader(device, static_cast<unsigned long long>(info.m_llStartSector));
  LzhWalk walk;
  long long end = 0;
  int headers = 0;
  for (; headers < kMaxHeaders && walk.d >= 0 && walk.d <= kLimit; ++headers) {
    unsigned char h[11];
    if (!reader.Read(static_cast<unsigned long long>(walk.d), h, sizeof(h))) break;
    if (walk.Step(h, end) == 0) break;
  }
  if (end == 0) end = walk.d;
  if (end <= 1) return false;  // nothing walked
  const long long ss = reader.SectorSize();
  info.m_llSize = (end + ss - 1) / ss * ss;
  info.m_eType = kRawTypeLzh;
  return true;
}

namespace Kalder {

int LZHAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr) return 0;
  if (!(Method(sector, "-lh5-") || Method(sector, "-lh0-") || Method(sector, "-lhd-") || Method(sector, "-lh7-"))) {
    return 0;
  }
  probe.m_eType = kRawTypeLzh;
  return 1;
}

int LZHAnalyser::LZHRawFileInfo::bContinue(unsigned char* sector, int sectorSize, long long sectorNumber, long long pos,
                                           const SearchContext& context) {
  if (pos >= 10 * m_llCap) return kWalkEnded;
  const long long sectorEnd = static_cast<long long>(sectorSize) * (sectorNumber - m_llStartSector + 1);
  if (m_walk.d >= sectorEnd) return kWalkNeedsMore;
  const StreamBytes bytes(sector, sectorSize, context);
  for (int headers = 0; headers < 1025; ++headers) {
    std::size_t at = 0;
    if (m_walk.d < 0) return kWalkEnded;
    if (!bytes.Locate(m_walk.d - pos, 11, at)) return kWalkNeedsMore;  // the header arrives later
    long long end = 0;
    if (m_walk.Step(bytes.View().Data() + at, end) == 0) {
      m_llWalkedEnd = end;
      return kWalkEnded;
    }
    if (m_walk.d >= sectorEnd) return kWalkNeedsMore;
  }
  return kWalkNeedsMore;
}

}  // namespace Kalder
