#include "fat/FatBootSector.h"

#include <cctype>

#include "fat/FatBootSectorLayout.h"

namespace {

bool TypeTextIs(const ByteView& sector, std::size_t offset, const char* text) {
  if (!sector.Has(offset, fatbs::kTypeTextLength)) return false;
  for (std::size_t i = 0; i < fatbs::kTypeTextLength; ++i) {
    if (std::toupper(sector.U8(offset + i)) != static_cast<unsigned char>(text[i])) return false;
  }
  return true;
}

bool ValidClusterSize(std::uint8_t sectorsPerCluster) {
  return sectorsPerCluster != 0 && (sectorsPerCluster & (sectorsPerCluster - 1)) == 0;
}

bool HasSignature(const ByteView& sector) {
  return sector.Has(0, fatbs::kSectorBytes) && sector.U8(fatbs::kSignature) == 0x55 &&
         sector.U8(fatbs::kSignature + 1) == 0xAA;
}

// The checks both FAT16 and FAT32 make.
bool CommonFieldsValid(const ByteView& sector, std::uint32_t deviceSectorSize) {
  return HasSignature(sector) && sector.U8(fatbs::kNumberOfFats) == 2 &&
         ValidClusterSize(sector.U8(fatbs::kSectorsPerCluster)) &&
         sector.U16Le(fatbs::kBytesPerSector) == deviceSectorSize;
}

}  // namespace

CTempFATDBR::CTempFATDBR(const ByteView& sector, std::uint32_t deviceSectorSize)
    : m_sector(sector), m_sectorSize(deviceSectorSize) {
  InitFileSystemType();
}

bool CTempFATDBR::SimpleCheck(const ByteView& sector) {
  return HasSignature(sector) && sector.U8(fatbs::kFirstByte) != 0;
}

bool CTempFATDBR::IsFullValidFAT16DBR(const ByteView& sector, std::uint32_t deviceSectorSize) {
  if (deviceSectorSize == 0 || !TypeTextIs(sector, fatbs::kTypeText16, "FAT16   ")) return false;
  if (!CommonFieldsValid(sector, deviceSectorSize)) return false;
  const std::uint32_t rootEntries = sector.U16Le(fatbs::kRootEntries);
  if (rootEntries < 224 || (rootEntries * fatbs::kDirEntryBytes) % deviceSectorSize != 0) return false;
  return sector.U16Le(fatbs::kSectorsPerFat16) != 0;
}

bool CTempFATDBR::IsFullValidFAT32DBR(const ByteView& sector, std::uint32_t deviceSectorSize) {
  if (deviceSectorSize == 0 || !TypeTextIs(sector, fatbs::kTypeText32, "FAT32   ")) return false;
  if (!CommonFieldsValid(sector, deviceSectorSize)) return false;
  return sector.U32Le(fatbs::kSectorsPerFat32) != 0;
}

void CTempFATDBR::InitFileSystemType() {
  if (IsFullValidFAT16DBR(m_sector, m_sectorSize)) {
    m_type = kFatTypeFat16;
  } else if (IsFullValidFAT32DBR(m_sector, m_sectorSize)) {
    m_type = kFatTypeFat32;
  } else {
    m_type = kFatTypeNone;
  }
}

std::uint32_t CTempFATDBR::GetSectorsperCluster() const { return IsFat() ? m_sector.U8(fatbs::kSectorsPerCluster) : 0; }

std::uint32_t CTempFATDBR::GetFatTableStartSector() const { return m_sector.U16Le(fatbs::kReservedSectors); }

std::uint32_t CTempFATDBR::GetReservedSector() const { return IsFat() ? m_sector.U16Le(fatbs::kReservedSectors) : 0; }

std::uint32_t CTempFATDBR::GetNumberOfFat() const { return IsFat() ? m_sector.U8(fatbs::kNumberOfFats) : 0; }

std::uint32_t CTempFATDBR::GetSectorsPerFat() const {
  if (m_type == kFatTypeFat12 || m_type == kFatTypeFat16) return m_sector.U16Le(fatbs::kSectorsPerFat16);
  if (m_type == kFatTypeFat32) return m_sector.U32Le(fatbs::kSectorsPerFat32);
  return 0;
}

std::uint32_t CTempFATDBR::GetRootEntries() const { return m_sector.U16Le(fatbs::kRootEntries); }

std::uint32_t CTempFATDBR::GetRootDirStartCluster() const {
  return m_type == kFatTypeFat32 ? m_sector.U32Le(fatbs::kRootCluster) : 0;
}

std::uint32_t CTempFATDBR::GetTotalSectors() const {
  switch (m_type) {
    case kFatTypeFat32:
      return m_sector.U32Le(fatbs::kTotalSectors32);
    case kFatTypeFat16: {
      const std::uint32_t small = m_sector.U16Le(fatbs::kTotalSectors16);
      return small != 0 ? small : m_sector.U32Le(fatbs::kTotalSectors32);
    }
    case kFatTypeFat12:
      return m_sector.U16Le(fatbs::kTotalSectors16);
    default:
      return 0;
  }
}
