#include "carving/X3fAnalyser.h"

#include <cstring>
#include <vector>

#include "carving/RawFileBuffer.h"

namespace {
constexpr long long kDirectoryTail = 76;
}

int FileX3FAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr) return 0;
  probe.m_eType = kRawTypeX3f;
  return 1;
}

bool FileX3FAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
  info.m_llSize = 0;
  if (device == nullptr) return false;
  RawFileBuffer reader(device, static_cast<unsigned long long>(info.m_llStartSector));
  const long long ss = reader.SectorSize();
  std::vector<unsigned char> window(static_cast<std::size_t>(2 * ss), 0);  // previous sector, this sector
  long long off = 0;
  while (off <= kLimit) {
    unsigned char* sector = window.data() + ss;
    if (!reader.Read(static_cast<unsigned long long>(off), sector, static_cast<std::size_t>(ss))) break;
    const ByteView v(sector, static_cast<std::size_t>(ss));
    if (v.Equals(static_cast<std::size_t>(ss - 4), "SECd", 4)) {
      info.m_llSize = off + ss - 4 + kDirectoryTail;  // the directory runs on past this sector
      break;
    }
    if (v.U32Le(static_cast<std::size_t>(ss - 4)) != 0) {
      std::memcpy(window.data(), sector, static_cast<std::size_t>(ss));
      off += ss;
      continue;
    }
    long long k = streammember::FindBytes(sector, ss, "SECd", 4);
    if (k >= 0) {
      info.m_llSize = off + k + kDirectoryTail;
      break;
    }
    k = off >= ss ? streammember::FindBytes(window.data(), ss + 50, "SECd", 4) : -1;
    if (k >= 0) {
      info.m_llSize = off - ss + k + kDirectoryTail;
      break;
    }
    off += 2 * ss;
    std::memset(window.data(), 0, static_cast<std::size_t>(ss));
  }
  if (info.m_llSize == 0) info.m_llSize = off;
  info.m_eType = kRawTypeX3f;
  return info.m_llSize > 0;
}

namespace Kalder {

int X3FAnalyser::X3FRawFileInfo::bContinue(unsigned char* sector, int sectorSize, long long sectorNumber, long long pos,
                                           const SearchContext& context) {
  if (pos >= m_llCap) return kWalkEnded;
  const ByteView v(sector, static_cast<std::size_t>(sectorSize));
  if (v.Equals(static_cast<std::size_t>(sectorSize - 4), "SECd", 4)) {
    m_llWalkedEnd = pos + sectorSize;
    return kWalkEnded;
  }
  if (v.U32Le(static_cast<std::size_t>(sectorSize - 4)) != 0) return kWalkNeedsMore;
  long long k = streammember::FindBytes(sector, sectorSize, "SECd", 4);
  if (k >= 0) {
    m_llWalkedEnd = pos + k + kDirectoryTail;
    return kWalkEnded;
  }
  if (context.previousBlockStartSector + 1 < sectorNumber) {
    const StreamBytes bytes(sector, sectorSize, context);
    std::size_t at = 0;
    const long long half = sectorSize / 2;
    if (bytes.Locate(-half, static_cast<std::size_t>(sectorSize + half), at)) {
      k = streammember::FindBytes(bytes.View().Data() + at, sectorSize + half, "SECd", 4);
      if (k >= 0) {
        m_llWalkedEnd = pos + k - half + kDirectoryTail;
        return kWalkEnded;
      }
    }
  }
  return kWalkNeedsMore;
}

}  // namespace Kalder
