#include "ntfs/NtfsBootSector.h"

#include <climits>

#include "ntfs/NtfsBootSectorLayout.h"

bool CNTFSDBR::IsValidDBR(const ByteView& sector) {
  return sector.Equals(ntfsbs::kFileSystemId, "NTFS    ", ntfsbs::kFileSystemIdLength);
}

bool CNTFSDBR::IsFullValidDBR(const ByteView& sector) {
  if (!sector.Has(0, ntfsbs::kSectorBytes) || !IsValidDBR(sector)) return false;
  const std::uint16_t bytesPerSector = sector.U16Le(ntfsbs::kBytesPerSector);
  if (bytesPerSector == 0 || (bytesPerSector & 0x1FF) != 0) return false;
  if (sector.U16Le(ntfsbs::kReservedSectors) != 0) return false;
  const std::uint8_t perCluster = sector.U8(ntfsbs::kSectorsPerCluster);
  if (perCluster >= ntfsbs::kLargestClusterShiftByte && perCluster <= ntfsbs::kSmallestClusterShiftByte) {
    // Clusters of 2^n sectors (n = 256 - byte), up to 2 MiB.
    if ((static_cast<long long>(bytesPerSector) << (256 - perCluster)) > ntfsbs::kMaxClusterBytes) return false;
  } else if (perCluster != 0x80 && (perCluster == 0 || perCluster > 64 || (perCluster & (perCluster - 1)) != 0)) {
    return false;
  }
  for (const std::size_t offset : ntfsbs::kMustBeZero) {
    if (sector.U8(offset) != 0) return false;
  }
  return sector.U8(ntfsbs::kSignature) == 0x55 && sector.U8(ntfsbs::kSignature + 1) == 0xAA;
}

bool CNTFSDBR::InitFromBuffer(const ByteView& sector) {
  if (!IsFullValidDBR(sector)) return false;
  sector.Bytes(0, m_bytes.data(), m_bytes.size());
  return true;
}

long long CNTFSDBR::GetTotalSectors() const { return static_cast<long long>(View().U64Le(ntfsbs::kTotalSectors)); }
long long CNTFSDBR::GetMFTStartCluster() const { return static_cast<long long>(View().U64Le(ntfsbs::kMftCluster)); }
long long CNTFSDBR::GetMFTMirrorStartCluster() const {
  return static_cast<long long>(View().U64Le(ntfsbs::kMftMirrorCluster));
}
unsigned char CNTFSDBR::GetSectorsperCluster() const { return View().U8(ntfsbs::kSectorsPerCluster); }
int CNTFSDBR::GetClusterSectors() const {
  const std::uint8_t b = GetSectorsperCluster();
  if (b >= ntfsbs::kLargestClusterShiftByte && b <= ntfsbs::kSmallestClusterShiftByte) return 1 << (256 - b);
  return b;
}
int CNTFSDBR::GetValidFileRecordSize() const {
  const int bytes = GetFileRecordSizeByByte();
  return bytes == 1024 || bytes == 4096 ? bytes : 0;
}
std::uint16_t CNTFSDBR::GetBytesPerSector() const { return View().U16Le(ntfsbs::kBytesPerSector); }
unsigned long long CNTFSDBR::GetSerialNumber() const { return View().U64Le(ntfsbs::kSerialNumber); }

int CNTFSDBR::GetFileRecordSizeByByte() const {
  const auto n = static_cast<std::int8_t>(View().U8(ntfsbs::kClustersPerFileRecord));
  if (n == 0) return 1024;
  if (n < 0) {
    const int shift = (-static_cast<int>(n)) % 32;
    return shift < 31 ? (1 << shift) : 0;
  }
  const long long bytes = static_cast<long long>(n) * GetBytesPerSector() * GetSectorsperCluster();
  return bytes <= INT_MAX ? static_cast<int>(bytes) : 0;
}

void CNTFSDBR::GetFileSystemID(char* out) const {
  if (out != nullptr) View().Bytes(ntfsbs::kFileSystemId, out, ntfsbs::kFileSystemIdLength);
}

bool NTFSPublicFunction::IsClusterNOMatch(long long sector, long long cluster, long long volumeStart,
                                          unsigned sectorsPerCluster) {
  if (sectorsPerCluster == 0) return false;
  const long long offset = sector - volumeStart;
  return offset % sectorsPerCluster == 0 && offset / sectorsPerCluster == cluster;
}
