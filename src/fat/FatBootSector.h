#pragma once
// A FAT12/16/32 boot sector held by the caller, with its type decided once.

#include <cstdint>

#include "core/util/ByteView.h"

// File-system codes of a FAT boot sector.
enum enumFILE_SYSTEM_TYPE : int {
  kFatTypeFat12 = 0,
  kFatTypeFat16 = 1,
  kFatTypeFat32 = 2,
  kFatTypeNone = 10,
};

class CTempFATDBR {
 public:
  // `sector` must stay alive while the view is used.
  CTempFATDBR(const ByteView& sector, std::uint32_t deviceSectorSize);

  // A non-zero first byte and 55 AA at 510.
  static bool SimpleCheck(const ByteView& sector);
  static bool IsFullValidFAT16DBR(const ByteView& sector, std::uint32_t deviceSectorSize);
  static bool IsFullValidFAT32DBR(const ByteView& sector, std::uint32_t deviceSectorSize);

  enumFILE_SYSTEM_TYPE GetFileSystemType() const { return m_type; }
  bool IsValidDBR() const { return m_type != kFatTypeNone; }
  std::uint32_t GetSectorSize() const { return m_sectorSize; }

  std::uint32_t GetSectorsperCluster() const;
  std::uint32_t GetFatTableStartSector() const;
  std::uint32_t GetReservedSector() const;
  std::uint32_t GetNumberOfFat() const;
  std::uint32_t GetSectorsPerFat() const;
  std::uint32_t GetRootEntries() const;
  std::uint32_t GetRootDirStartCluster() const;
  std::uint32_t GetTotalSectors() const;

 private:
  void InitFileSystemType();
  bool IsFat() const { return m_type == kFatTypeFat12 || m_type == kFatTypeFat16 || m_type == kFatTypeFat32; }

  ByteView m_sector;
  std::uint32_t m_sectorSize;
  enumFILE_SYSTEM_TYPE m_type = kFatTypeNone;
};
