#include "carving/New3dsAnalyser.h"

#include <cstring>

#include "carving/RawFileBuffer.h"

bool File3DSAnalyser::IsMeshHeader(const unsigned char* sector) {
  return sector != nullptr && sector[0] == 'M' && sector[1] == 'M' && sector[16] == 0x3D && sector[17] == 0x3D;
}

bool File3DSAnalyser::IsNcsd(const unsigned char* sector) {
  return sector != nullptr && std::memcmp(sector + 256, "NCSD", 4) == 0;
}

int File3DSAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (!IsMeshHeader(sector) || IsNcsd(sector)) return 0;
  probe.m_eType = kRawType3ds;
  return 1;
}

bool File3DSAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
  info.m_llSize = 0;
  if (device == nullptr) return false;
  RawFileBuffer reader(device, static_cast<unsigned long long>(info.m_llStartSector));
  unsigned char head[260];
  if (!reader.Read(0, head, sizeof(head)) || !IsMeshHeader(head) || IsNcsd(head)) return false;
  const long long length = ByteView(head, sizeof(head)).U32Le(2);
  if (length < 18 || length > kLimit) return false;
  info.m_llSize = length;
  info.m_eType = kRawType3ds;
  return true;
}

namespace RawSpeed {

int New3DSAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (!File3DSAnalyser::IsMeshHeader(sector) && !File3DSAnalyser::IsNcsd(sector)) return 0;
  probe.m_eType = kRawType3ds;
  return 1;
}

int New3DSAnalyser::New3DSRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                                                   SearchContext& context) {
  long long pos = 0;
  if (!streammember::SectorOffset(*this, sector, sectorSize, sectorNumber, pos)) return kSizeNeedMore;
  const StreamBytes bytes(sector, sectorSize, context);
  std::size_t at = 0;
  if (!bytes.Locate(-pos, 264, at)) return kSizeDone;
  const ByteView& v = bytes.View();
  long long size = 0;
  if (File3DSAnalyser::IsNcsd(v.Data() + at)) {
    const long long units = v.U32Le(at + 260);
    size = units > 5 * kCap ? kCap : std::min(units * 512, 5 * kCap);
  } else {
    // The main chunk's 32-bit length covers the whole mesh file.
    size = v.U32Le(at + 2);
    if (size < 18 || size > 5 * kCap) return kSizeDone;
  }
  m_llSize = size;
  streammember::NameRange(*this, streammember::kFormA, sectorNumber);
  return kSizeDone;
}

}  // namespace RawSpeed
