#pragma once
// On-disk layout of an exFAT boot sector (little-endian).

#include <cstddef>

namespace exfatbs {

inline constexpr std::size_t kSectorBytes = 512;

inline constexpr std::size_t kFileSystemName = 3;  // "EXFAT   "
inline constexpr std::size_t kFileSystemNameLength = 8;
inline constexpr std::size_t kMustBeZero = 11;  // through byte 63
inline constexpr std::size_t kMustBeZeroLength = 53;
inline constexpr std::size_t kVolumeLength = 72;       // u64, sectors
inline constexpr std::size_t kFatOffset = 80;          // u32, sectors
inline constexpr std::size_t kFatLength = 84;          // u32, sectors
inline constexpr std::size_t kClusterHeapOffset = 88;  // u32, sectors
inline constexpr std::size_t kClusterCount = 92;       // u32
inline constexpr std::size_t kRootCluster = 96;        // u32
inline constexpr std::size_t kVolumeFlags = 106;       // u16
inline constexpr std::size_t kBytesPerSectorShift = 108;
inline constexpr std::size_t kSectorsPerClusterShift = 109;
inline constexpr std::size_t kNumberOfFats = 110;
inline constexpr std::size_t kSignature = 510;  // 0x55 0xAA

}  // namespace exfatbs
