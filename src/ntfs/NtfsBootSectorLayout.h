#pragma once
// On-disk layout of an NTFS boot sector (little-endian).

#include <cstddef>

namespace ntfsbs {

inline constexpr std::size_t kSectorBytes = 512;

inline constexpr std::size_t kFileSystemId = 0x03;  // "NTFS    "
inline constexpr std::size_t kFileSystemIdLength = 8;
inline constexpr std::size_t kBytesPerSector = 0x0B;         // u16
inline constexpr std::size_t kSectorsPerCluster = 0x0D;      // u8
inline constexpr std::size_t kReservedSectors = 0x0E;        // u16, must be 0
inline constexpr std::size_t kTotalSectors = 0x28;           // i64
inline constexpr std::size_t kMftCluster = 0x30;             // i64
inline constexpr std::size_t kMftMirrorCluster = 0x38;       // i64
inline constexpr std::size_t kClustersPerFileRecord = 0x40;  // i8
inline constexpr std::size_t kSerialNumber = 0x48;           // u64
inline constexpr std::size_t kSignature = 0x1FE;             // 0x55 0xAA

// Sectors-per-cluster bytes 0xF4..0xF8 mean 2^(256 - byte) sectors.
inline constexpr unsigned kLargestClusterShiftByte = 0xF4;
inline constexpr unsigned kSmallestClusterShiftByte = 0xF8;
inline constexpr long long kMaxClusterBytes = 2LL * 1024 * 1024;

// FAT fields that NTFS keeps zero.
inline constexpr std::size_t kMustBeZero[] = {0x10, 0x11, 0x12, 0x13, 0x14, 0x16, 0x17, 0x20, 0x21, 0x22, 0x23};

}  // namespace ntfsbs
