#pragma once
// On-disk layout of an MBR or extended boot record (one sector, little-endian).

#include <cstddef>
#include <cstdint>

namespace mbr {

inline constexpr std::size_t kMinSectorSize = 512;
inline constexpr std::size_t kEntryTableOffset = 446;
inline constexpr std::size_t kEntrySize = 16;
inline constexpr int kEntryCount = 4;
inline constexpr std::size_t kSignatureOffset = 510;  // 0x55 0xAA

// Within one 16-byte entry.
inline constexpr std::size_t kBootFlag = 0;
inline constexpr std::size_t kType = 4;
inline constexpr std::size_t kFirstSector = 8;   // u32, relative to a base
inline constexpr std::size_t kSectorCount = 12;  // u32

inline constexpr std::uint8_t kTypeExtendedChs = 0x05;
inline constexpr std::uint8_t kTypeExtendedLba = 0x0F;
inline constexpr std::uint8_t kTypeExtendedLinux = 0x85;
inline constexpr std::uint8_t kTypeDynamicDisk = 0x42;
inline constexpr std::uint8_t kTypeGptProtective = 0xEE;

// Byte 450: the type of the first entry.
inline constexpr std::size_t kFirstEntryType = kEntryTableOffset + kType;

}  // namespace mbr
