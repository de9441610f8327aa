#pragma once
// One partition that a searcher proved or used. Nodes name it through their
// 16-bit partition index; the recovery writer maps clusters to sectors with it.

#include <array>
#include <cstdint>
#include <optional>
#include <span>

class CSearchedPartitionInfo {
 public:
  static constexpr std::size_t kStoredSize = 104;

  explicit CSearchedPartitionInfo(int sectorSize = 512);
  virtual ~CSearchedPartitionInfo() = default;
  CSearchedPartitionInfo(const CSearchedPartitionInfo&) = default;
  CSearchedPartitionInfo& operator=(const CSearchedPartitionInfo&) = default;

  virtual int GetType() const { return 4; }

  long long GetTotalSectors() const { return m_llTotalSectors; }
  void SetTotalSectors(long long n) { m_llTotalSectors = n; }

  // The stored image: 104 bytes, little-endian, offset 0 always zero.
  [[nodiscard]] std::array<std::uint8_t, kStoredSize> ToStoredImage() const;
  // Fills the fields from a stored image; false when the span is too short.
  [[nodiscard]] bool FromStoredImage(std::span<const std::uint8_t> image);

  std::uint64_t m_u64Reserved8 = 0;            // offset 8, not used by the base
  std::uint16_t m_u16PartitionIndex = 0xFFFF;  // offset 16
  std::int32_t m_iFileSystem = 10;             // offset 20
  std::int32_t m_iSectorsPerCluster = 0;       // offset 24
  long long m_llClusterBaseSector = 0;         // offset 32
  long long m_llStartSector = 0;               // offset 40
  long long m_llValue48 = 0;                   // offset 48
  long long m_llValue56 = 0;                   // offset 56
  std::int32_t m_iSectorSize = 512;            // offset 64
  std::int32_t m_iValue68 = 0;                 // offset 68
  long long m_llTotalSectors = 0;              // offset 72
  std::int32_t m_iValue80 = 1;                 // offset 80
  double m_dScore = 0.0;                       // offset 88
  std::int32_t m_iValue96 = 0;                 // offset 96
  std::int32_t m_iValue100 = 0;                // offset 100
};
