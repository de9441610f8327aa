#include "carving/DmgAnalyser.h"

#include <cstring>
#include <vector>

#include "carving/RawFileBuffer.h"

int FileDMGAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr || std::memcmp(sector, "BZh11AY&SY", 10) != 0) return 0;
  probe.m_eType = kRawTypeDmg;
  return 1;
}

bool FileDMGAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
  info.m_llSize = 0;
  if (device == nullptr) return false;
  RawFileBuffer reader(device, static_cast<unsigned long long>(info.m_llStartSector));
  const long long ss = reader.SectorSize();
  std::vector<unsigned char> previous(static_cast<std::size_t>(ss), 0);
  std::vector<unsigned char> sector(static_cast<std::size_t>(ss), 0);
  long long off = 0;
  for (; off <= kLimit; off += ss) {
    if (!reader.Read(static_cast<unsigned long long>(off), sector.data(), sector.size())) break;
    const bool zeroTail = ByteView(sector.data(), sector.size()).U64Le(sector.size() - 8) == 0;
    if (zeroTail) {
      if (std::memcmp(sector.data(), "koly", 4) == 0) {
        info.m_llSize = off + 512;
        break;
      }
      if (off > 10240) {
        const long long k = streammember::FindBytes(previous.data(), ss, "koly", 4);
        if (k >= 0) {
          info.m_llSize = off - ss + k + 512;
          break;
        }
      }
    }
    previous.swap(sector);
  }
  if (info.m_llSize == 0) info.m_llSize = off;
  info.m_eType = kRawTypeDmg;
  return info.m_llSize > 0;
}

namespace Kalder {

int DMGAnalyser::DMGRawFileInfo::bContinue(unsigned char* sector, int sectorSize, long long sectorNumber, long long pos,
                                           const SearchContext& context) {
  if (pos >= 10 * m_llCap) return kWalkEnded;
  const ByteView v(sector, static_cast<std::size_t>(sectorSize));
  bool found = sectorSize >= 16 && v.U32Le(sectorSize - 8) == 0 && v.U32Le(sectorSize - 4) == 0 &&
               streammember::FindBytes(sector, sectorSize - 8, "koly", 4) >= 0;
  if (!found && pos >= 10241 && context.previousBlockStartSector + 1 < sectorNumber) {
    const StreamBytes bytes(sector, sectorSize, context);
    std::size_t at = 0;
    if (bytes.Locate(-(sectorSize / 2), static_cast<std::size_t>(sectorSize), at)) {
      found = streammember::FindBytes(bytes.View().Data() + at, sectorSize, "koly", 4) >= 0;
    }
  }
  if (!found) return kWalkNeedsMore;
  m_llWalkedEnd = pos + sectorSize;
  return kWalkEnded;
}

}  // namespace Kalder
