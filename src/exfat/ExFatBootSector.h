#pragma once
// An exFAT boot sector (a copy of its 512 bytes) and its validity test.

#include <array>
#include <cstdint>

#include "core/util/ByteView.h"

class CExFatDBR {
 public:
  CExFatDBR() = default;
  // Copies the first 512 bytes of `sector` (zeros where it is shorter).
  explicit CExFatDBR(const ByteView& sector);

  // The whole boot-sector test against the device's sector size.
  bool IsValid(std::uint32_t deviceSectorSize) const;

  int GetFileSystemType() const { return 7; }
  std::uint64_t GetTotalSectors() const;
  std::uint32_t GetFatStartSector() const;
  std::uint32_t GetSectorsPerFat() const;
  std::uint32_t GetDataRegionStartSector() const;
  std::uint32_t GetTotalCluster() const;
  std::uint32_t GetRootDirStartCluster() const;
  std::uint32_t GetActiveFatNumber() const;
  // 1 << shift; 0 when the shift is out of range.
  std::uint32_t GetBytePerSector() const;
  std::uint32_t GetSectorsperCluster() const;
  std::uint32_t GetNumberOfFat() const;

 private:
  ByteView View() const { return ByteView(m_bytes.data(), m_bytes.size()); }

  std::array<std::uint8_t, 512> m_bytes{};
};
