#pragma once
// One decoded, checked exFAT entry set (file, stream extension, names).

#include <cstdint>
#include <string>

inline constexpr std::size_t kExFatMaxNameBytes = 259;

struct _tagFileBaseInfo {
  std::int64_t dataLength = 0;
  std::uint32_t firstCluster = 0;
  std::uint8_t noFatChain = 0;
  std::uint8_t inUse = 0;
  std::uint16_t attributes = 0;
  std::uint32_t created = 0;
  std::uint32_t modified = 0;
  std::uint32_t accessed = 0;
  // UTC offset bytes of the three timestamps (bit 7: offset valid).
  std::uint8_t createdUtcOffset = 0;
  std::uint8_t modifiedUtcOffset = 0;
  std::uint8_t accessedUtcOffset = 0;
  std::int64_t metadataSector = 0;
  std::string name;  // UTF-8, at most kExFatMaxNameBytes bytes

  bool IsFolder() const { return (attributes & 0x10) != 0; }
};
