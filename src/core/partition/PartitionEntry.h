#pragma once
// One partition of a disk as its partition table lists it.

#include <array>
#include <cstdint>
#include <string>

struct PartitionEntry {
  // MBR primary 1-4, logical from 5; GPT entry number; APM map block number;
  // -1 for a whole-disk pseudo entry.
  std::int32_t index = 0;
  std::int32_t reserved = 0;
  std::int64_t startSector = 0;  // on the disk
  std::int64_t sectorCount = 0;
  std::array<std::uint8_t, 16> typeGuid{};    // GPT only, else zero
  std::array<std::uint8_t, 16> uniqueGuid{};  // GPT only, else zero
  std::array<char, 32> apmType{};             // APM only, NUL-padded, not always terminated

  // The APM type as text (up to 32 characters).
  std::string ApmTypeText() const;
};

// Partition schemes, as in a disk record.
enum enumDiskPartitionScheme : int {
  kPartitionSchemeNone = 0,
  kPartitionSchemeMbr = 1,
  kPartitionSchemeGpt = 2,
  kPartitionSchemeApm = 3,
};
