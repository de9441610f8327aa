#pragma once
// On-disk layout of exFAT directory entries (32 bytes each, little-endian).

#include <cstddef>
#include <cstdint>

namespace exfatde {

inline constexpr std::size_t kEntrySize = 32;
inline constexpr std::uint8_t kInUse = 0x80;

// Entry types (in-use form; the deleted form lacks bit 0x80).
inline constexpr std::uint8_t kTypeEnd = 0x00;
inline constexpr std::uint8_t kTypeBitmap = 0x81;
inline constexpr std::uint8_t kTypeUpcase = 0x82;
inline constexpr std::uint8_t kTypeLabel = 0x83;
inline constexpr std::uint8_t kTypeFile = 0x85;
inline constexpr std::uint8_t kTypeStream = 0xC0;
inline constexpr std::uint8_t kTypeName = 0xC1;

// Common.
inline constexpr std::size_t kType = 0;

// File entry.
inline constexpr std::size_t kFileSecondaryCount = 1;
inline constexpr std::size_t kFileSetChecksum = 2;  // u16
inline constexpr std::size_t kFileAttributes = 4;   // u16
inline constexpr std::size_t kFileReserved1 = 6;    // u16
inline constexpr std::size_t kFileCreated = 8;      // u32
inline constexpr std::size_t kFileModified = 12;    // u32
inline constexpr std::size_t kFileAccessed = 16;    // u32
inline constexpr std::size_t kFileCreated10ms = 20;
inline constexpr std::size_t kFileModified10ms = 21;
inline constexpr std::size_t kFileCreatedUtcOffset = 22;
inline constexpr std::size_t kFileModifiedUtcOffset = 23;
inline constexpr std::size_t kFileAccessedUtcOffset = 24;
inline constexpr std::size_t kFileReserved2 = 25;  // through 31
inline constexpr std::uint8_t kMinSecondaryCount = 2;
inline constexpr std::uint8_t kMaxSecondaryCount = 18;
inline constexpr std::uint16_t kAttrDirectory = 0x10;

// Stream extension.
inline constexpr std::size_t kStreamFlags = 1;
inline constexpr std::size_t kStreamReserved1 = 2;
inline constexpr std::size_t kStreamNameLength = 3;
inline constexpr std::size_t kStreamNameHash = 4;       // u16
inline constexpr std::size_t kStreamReserved2 = 6;      // u16
inline constexpr std::size_t kStreamValidLength = 8;    // u64
inline constexpr std::size_t kStreamReserved3 = 16;     // u32
inline constexpr std::size_t kStreamFirstCluster = 20;  // u32
inline constexpr std::size_t kStreamDataLength = 24;    // u64
inline constexpr std::uint8_t kFlagNoFatChain = 0x02;

// File name.
inline constexpr std::size_t kNameFlags = 1;
inline constexpr std::size_t kNameChars = 2;  // 15 UTF-16 units
inline constexpr std::size_t kNameCharsPerEntry = 15;

// Volume label.
inline constexpr std::size_t kLabelCount = 1;
inline constexpr std::size_t kLabelChars = 2;  // up to 11 UTF-16 units
inline constexpr std::size_t kLabelMaxChars = 11;

// Allocation bitmap and up-case table.
inline constexpr std::size_t kTableFirstCluster = 20;  // u32
inline constexpr std::size_t kTableDataLength = 24;    // u64

// Cluster values.
inline constexpr std::uint32_t kFirstDataCluster = 2;
inline constexpr std::uint32_t kLastValidCluster = 0xFFFFFFF5;
inline constexpr std::uint32_t kEndOfChain = 0xFFFFFFFF;

}  // namespace exfatde
