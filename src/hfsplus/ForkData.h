#pragma once
// Fork data and extent descriptors, host order.

#include <array>
#include <cstdint>

#include "core/util/ByteView.h"

struct HFSPlusExtentDescriptor {
  std::uint32_t startBlock = 0;
  std::uint32_t blockCount = 0;
};

using HFSPlusExtentRecord = std::array<HFSPlusExtentDescriptor, 8>;

struct HFSPlusForkData {
  std::uint64_t logicalSize = 0;
  std::uint32_t clumpSize = 0;
  std::uint32_t totalBlocks = 0;
  HFSPlusExtentRecord extents{};
};

// 64 bytes of 8 descriptors at `offset`; zeros where the view ends.
[[nodiscard]] HFSPlusExtentRecord DecodeExtentRecord(const ByteView& bytes, std::size_t offset);
// 80 bytes of fork data at `offset`.
[[nodiscard]] HFSPlusForkData DecodeForkData(const ByteView& bytes, std::size_t offset);
