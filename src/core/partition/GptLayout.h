#pragma once
// On-disk layout of a GUID partition table (little-endian).

#include <cstddef>
#include <cstdint>

namespace gpt {

inline constexpr std::uint8_t kSignature[8] = {'E', 'F', 'I', ' ', 'P', 'A', 'R', 'T'};

// Header (LBA 1, backup at the last LBA).
inline constexpr std::size_t kHeaderSignature = 0;
inline constexpr std::size_t kHeaderSize = 12;     // u32
inline constexpr std::size_t kHeaderCrc = 16;      // u32, computed with this field zero
inline constexpr std::size_t kMyLba = 24;          // u64
inline constexpr std::size_t kAlternateLba = 32;   // u64
inline constexpr std::size_t kEntryLba = 72;       // u64
inline constexpr std::size_t kEntryCount = 80;     // u32
inline constexpr std::size_t kEntrySize = 84;      // u32
inline constexpr std::size_t kEntryArrayCrc = 88;  // u32
inline constexpr std::size_t kMinHeaderSize = 92;

// One entry of the array.
inline constexpr std::size_t kMinEntrySize = 128;
inline constexpr std::size_t kTypeGuid = 0;     // 16 bytes, all zero = unused
inline constexpr std::size_t kUniqueGuid = 16;  // 16 bytes
inline constexpr std::size_t kFirstLba = 32;    // u64
inline constexpr std::size_t kLastLba = 40;     // u64

// The classic array: 128 entries of 128 bytes from LBA 2.
inline constexpr std::uint64_t kClassicEntryLba = 2;
inline constexpr std::uint32_t kClassicEntryCount = 128;

}  // namespace gpt
