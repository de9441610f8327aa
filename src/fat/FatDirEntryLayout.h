#pragma once
// On-disk layout of a 32-byte FAT directory entry (little-endian).

#include <cstddef>
#include <cstdint>

namespace fatdir {

inline constexpr std::size_t kEntryBytes = 32;
inline constexpr std::size_t kName = 0;  // 8 bytes, space-padded
inline constexpr std::size_t kNameLength = 8;
inline constexpr std::size_t kExtension = 8;  // 3 bytes, space-padded
inline constexpr std::size_t kExtensionLength = 3;
inline constexpr std::size_t kAttribute = 11;
inline constexpr std::size_t kCreationTime = 14;
inline constexpr std::size_t kCreationDate = 16;
inline constexpr std::size_t kAccessDate = 18;
inline constexpr std::size_t kClusterHigh = 20;
inline constexpr std::size_t kModificationTime = 22;
inline constexpr std::size_t kModificationDate = 24;
inline constexpr std::size_t kClusterLow = 26;
inline constexpr std::size_t kFileSize = 28;

inline constexpr std::uint8_t kAttrLongName = 0x0F;
inline constexpr std::uint8_t kAttrVolumeLabel = 0x08;
inline constexpr std::uint8_t kAttrDirectory = 0x10;
inline constexpr std::uint8_t kAttrFirstInvalid = 0x40;

inline constexpr std::uint8_t kErasedMark = 0xE5;

}  // namespace fatdir
