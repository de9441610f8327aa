#pragma once
// On-disk layout of an Apple partition map (big-endian).

#include <cstddef>

namespace apm {

// Block 0: driver descriptor map.
inline constexpr std::size_t kDdmSignature = 0;  // "ER"
inline constexpr std::size_t kDdmBlockSize = 2;  // u16

// Blocks 1..n: one map entry each.
inline constexpr std::size_t kEntrySignature = 0;  // "PM" (or the older "TS")
inline constexpr std::size_t kMapEntryCount = 4;   // u32
inline constexpr std::size_t kStartBlock = 8;      // u32
inline constexpr std::size_t kBlockCount = 12;     // u32
inline constexpr std::size_t kType = 48;           // 32 characters
inline constexpr std::size_t kTypeLength = 32;
inline constexpr std::size_t kEntryBytes = kType + kTypeLength;

inline constexpr unsigned kMaxMapEntries = 31;

}  // namespace apm
