#include "exfat/ExFatBootSector.h"

#include <algorithm>
#include <cstdint>

#include "exfat/ExFatBootSectorLayout.h"

namespace {

constexpr unsigned kMinSectorShift = 9;
constexpr unsigned kMaxSectorShift = 12;
constexpr unsigned kMaxClusterShift = 25;  // 32 MiB clusters

}  // namespace

CExFatDBR::CExFatDBR(const ByteView& sector) {
  const std::size_t n = std::min(sector.Size(), m_bytes.size());
  sector.Bytes(0, m_bytes.data(), n);
}

bool CExFatDBR::IsValid(std::uint32_t deviceSectorSize) const {
  const ByteView v = View();
  if (v.U8(exfatbs::kSignature) != 0x55 || v.U8(exfatbs::kSignature + 1) != 0xAA) return false;
  if (!v.Equals(exfatbs::kFileSystemName, "EXFAT   ", exfatbs::kFileSystemNameLength)) return false;
  for (std::size_t i = 0; i < exfatbs::kMustBeZeroLength; ++i) {
    if (v.U8(exfatbs::kMustBeZero + i) != 0) return false;
  }
  const unsigned sectorShift = v.U8(exfatbs::kBytesPerSectorShift);
  const unsigned clusterShift = v.U8(exfatbs::kSectorsPerClusterShift);
  if (sectorShift < kMinSectorShift || sectorShift > kMaxSectorShift) return false;
  if ((1u << sectorShift) != deviceSectorSize) return false;
  if (sectorShift + clusterShift > kMaxClusterShift) return false;
  const unsigned fats = v.U8(exfatbs::kNumberOfFats);
  if (fats != 1 && fats != 2) return false;

  const std::uint64_t volumeLength = GetTotalSectors();
  const std::uint64_t fatOffset = GetFatStartSector();
  const std::uint64_t fatLength = GetSectorsPerFat();
  const std::uint64_t heapOffset = GetDataRegionStartSector();
  const std::uint64_t clusterCount = GetTotalCluster();
  if (fatLength == 0 || heapOffset == 0 || fatOffset == 0 || volumeLength == 0 || clusterCount == 0) return false;
  if (volumeLength > static_cast<std::uint64_t>(INT64_MAX)) return false;
  if (GetRootDirStartCluster() < 2) return false;
  if (fatOffset > volumeLength || heapOffset > volumeLength || fatOffset + fatLength > heapOffset) return false;
  // 64-bit: the cluster count is at most 2^32 and the shift at most 16.
  const std::uint64_t lastClusterSector = ((clusterCount - 1) << clusterShift) + heapOffset;
  return lastClusterSector <= volumeLength;
}

std::uint64_t CExFatDBR::GetTotalSectors() const { return View().U64Le(exfatbs::kVolumeLength); }
std::uint32_t CExFatDBR::GetFatStartSector() const { return View().U32Le(exfatbs::kFatOffset); }
std::uint32_t CExFatDBR::GetSectorsPerFat() const { return View().U32Le(exfatbs::kFatLength); }
std::uint32_t CExFatDBR::GetDataRegionStartSector() const { return View().U32Le(exfatbs::kClusterHeapOffset); }
std::uint32_t CExFatDBR::GetTotalCluster() const { return View().U32Le(exfatbs::kClusterCount); }
std::uint32_t CExFatDBR::GetRootDirStartCluster() const { return View().U32Le(exfatbs::kRootCluster); }
std::uint32_t CExFatDBR::GetActiveFatNumber() const { return View().U16Le(exfatbs::kVolumeFlags) & 1u; }

std::uint32_t CExFatDBR::GetBytePerSector() const {
  const unsigned shift = View().U8(exfatbs::kBytesPerSectorShift);
  return shift < 32 ? (1u << shift) : 0;
}

std::uint32_t CExFatDBR::GetSectorsperCluster() const {
  const unsigned shift = View().U8(exfatbs::kSectorsPerClusterShift);
  return shift < 32 ? (1u << shift) : 0;
}

std::uint32_t CExFatDBR::GetNumberOfFat() const { return View().U8(exfatbs::kNumberOfFats); }
