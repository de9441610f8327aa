#pragma once
// Decode of Apple partition map blocks.

#include <array>
#include <cstdint>
#include <string>

#include "core/util/ByteView.h"

// Driver descriptor map: true with "ER" at 0; `blockSize` is its block size.
bool DecodeApmDriverMap(const ByteView& block, std::uint32_t& blockSize);

struct ApmMapEntry {
  std::uint32_t mapEntryCount = 0;
  std::uint32_t startBlock = 0;
  std::uint32_t blockCount = 0;
  std::array<char, 32> type{};
};

// True with "PM" or "TS" at 0 and the entry's bytes present.
bool DecodeApmMapEntry(const ByteView& block, ApmMapEntry& out);

// The map itself, free space, drivers and patches hold no volume.
bool IsApmNonDataType(const std::string& type);
