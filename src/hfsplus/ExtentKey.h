#pragma once
// Keys of the extents overflow tree (12 bytes) and their comparison.

#include <cstdint>
#include <optional>

#include "core/util/ByteView.h"

struct HFSPlusExtentKey {
  std::uint16_t keyLength = 10;
  std::uint8_t forkType = 0;
  std::uint32_t fileID = 0;
  std::uint32_t startBlock = 0;
};

[[nodiscard]] std::optional<HFSPlusExtentKey> DecodeExtentKey(const ByteView& record);
// fileID, then forkType, then startBlock, all unsigned.
[[nodiscard]] int CompareExtentKeys(const HFSPlusExtentKey& a, const HFSPlusExtentKey& b);
