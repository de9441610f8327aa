#pragma once
// On-disk layout of a FAT12/16/32 boot sector (little-endian).

#include <cstddef>

namespace fatbs {

inline constexpr std::size_t kSectorBytes = 512;

inline constexpr std::size_t kFirstByte = 0;
inline constexpr std::size_t kBytesPerSector = 11;     // u16
inline constexpr std::size_t kSectorsPerCluster = 13;  // u8
inline constexpr std::size_t kReservedSectors = 14;    // u16: first FAT sector
inline constexpr std::size_t kNumberOfFats = 16;       // u8
inline constexpr std::size_t kRootEntries = 17;        // u16 (FAT12/16)
inline constexpr std::size_t kTotalSectors16 = 19;     // u16
inline constexpr std::size_t kSectorsPerFat16 = 22;    // u16 (FAT12/16)
inline constexpr std::size_t kTotalSectors32 = 32;     // u32
inline constexpr std::size_t kSectorsPerFat32 = 36;    // u32 (FAT32)
inline constexpr std::size_t kRootCluster = 44;        // u32 (FAT32)
inline constexpr std::size_t kTypeText16 = 54;         // "FAT16   "
inline constexpr std::size_t kTypeText32 = 82;         // "FAT32   "
inline constexpr std::size_t kTypeTextLength = 8;
inline constexpr std::size_t kSignature = 510;  // 0x55 0xAA

inline constexpr std::size_t kDirEntryBytes = 32;

}  // namespace fatbs
