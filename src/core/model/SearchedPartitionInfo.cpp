#include "core/model/SearchedPartitionInfo.h"

#include <bit>

#include "core/util/ByteView.h"

CSearchedPartitionInfo::CSearchedPartitionInfo(int sectorSize)
    : m_iSectorSize(sectorSize > 0 && sectorSize % 512 == 0 ? sectorSize : 512) {}

std::array<std::uint8_t, CSearchedPartitionInfo::kStoredSize> CSearchedPartitionInfo::ToStoredImage() const {
  std::array<std::uint8_t, kStoredSize> out{};
  ByteWriter w(out);
  w.PutU64Le(8, m_u64Reserved8);
  w.PutU16Le(16, m_u16PartitionIndex);
  w.PutU32Le(20, static_cast<std::uint32_t>(m_iFileSystem));
  w.PutU32Le(24, static_cast<std::uint32_t>(m_iSectorsPerCluster));
  w.PutU64Le(32, static_cast<std::uint64_t>(m_llClusterBaseSector));
  w.PutU64Le(40, static_cast<std::uint64_t>(m_llStartSector));
  w.PutU64Le(48, static_cast<std::uint64_t>(m_llValue48));
  w.PutU64Le(56, static_cast<std::uint64_t>(m_llValue56));
  w.PutU32Le(64, static_cast<std::uint32_t>(m_iSectorSize));
  w.PutU32Le(68, static_cast<std::uint32_t>(m_iValue68));
  w.PutU64Le(72, static_cast<std::uint64_t>(m_llTotalSectors));
  w.PutU32Le(80, static_cast<std::uint32_t>(m_iValue80));
  w.PutU64Le(88, std::bit_cast<std::uint64_t>(m_dScore));
  w.PutU32Le(96, static_cast<std::uint32_t>(m_iValue96));
  w.PutU32Le(100, static_cast<std::uint32_t>(m_iValue100));
  return out;
}

bool CSearchedPartitionInfo::FromStoredImage(std::span<const std::uint8_t> image) {
  if (image.size() < kStoredSize) return false;
  ByteView v(image.first(kStoredSize));
  m_u64Reserved8 = v.U64Le(8);
  m_u16PartitionIndex = v.U16Le(16);
  m_iFileSystem = static_cast<std::int32_t>(v.U32Le(20));
  m_iSectorsPerCluster = static_cast<std::int32_t>(v.U32Le(24));
  m_llClusterBaseSector = static_cast<long long>(v.U64Le(32));
  m_llStartSector = static_cast<long long>(v.U64Le(40));
  m_llValue48 = static_cast<long long>(v.U64Le(48));
  m_llValue56 = static_cast<long long>(v.U64Le(56));
  m_iSectorSize = static_cast<std::int32_t>(v.U32Le(64));
  m_iValue68 = static_cast<std::int32_t>(v.U32Le(68));
  m_llTotalSectors = static_cast<long long>(v.U64Le(72));
  m_iValue80 = static_cast<std::int32_t>(v.U32Le(80));
  m_dScore = std::bit_cast<double>(v.U64Le(88));
  m_iValue96 = static_cast<std::int32_t>(v.U32Le(96));
  m_iValue100 = static_cast<std::int32_t>(v.U32Le(100));
  static_assert(kStoredSize >= 100 + 4, "every field lies inside the stored image");
  return true;
}
