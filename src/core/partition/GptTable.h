#pragma once
// Decode and checks of a GPT header and its entry array.

#include <array>
#include <cstdint>
#include <vector>

#include "core/partition/PartitionEntry.h"
#include "core/util/ByteView.h"

struct GptHeader {
  std::uint64_t myLba = 0;
  std::uint64_t alternateLba = 0;
  std::uint64_t entryLba = 0;
  std::uint32_t entryCount = 0;
  std::uint32_t entrySize = 0;
  std::uint32_t entryArrayCrc = 0;

  // Bytes of the entry array (count x size).
  std::uint64_t ArrayBytes() const { return static_cast<std::uint64_t>(entryCount) * entrySize; }
};

// Limits on what a header may ask for.
inline constexpr std::uint32_t kMaxGptEntries = 16384;
inline constexpr std::uint64_t kMaxGptArrayBytes = 4ULL * 1024 * 1024;

// Decodes a header sector: signature, header size within the sector, header
// CRC, the expected own LBA, and an entry array that is sane (entry size a
// multiple of 8 and at least 128, bounded count and bytes) and lies inside
// the disk without covering the header. False when any check fails.
bool DecodeGptHeader(const ByteView& sector, std::uint64_t expectedLba, std::uint64_t totalSectors,
                     std::uint32_t sectorSize, GptHeader& out);

// True when the CRC of the array's first count x size bytes matches.
bool GptArrayCrcMatches(const ByteView& array, const GptHeader& header);

// One used entry of the array: 1-based number, GUIDs and LBAs as stored.
struct GptRawEntry {
  std::int32_t number = 0;
  std::array<std::uint8_t, 16> typeGuid{};
  std::array<std::uint8_t, 16> uniqueGuid{};
  std::uint64_t firstLba = 0;
  std::uint64_t lastLba = 0;
};

// The used entries (type GUID not zero) of `count` entries of `size` bytes;
// entries outside the view are not read.
std::vector<GptRawEntry> DecodeGptEntries(const ByteView& array, std::uint32_t count, std::uint32_t size);
