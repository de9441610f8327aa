#pragma once
// Where a volume starts, given where one of its headers was found. The main
// header lies at byte 1024 of the volume, the alternate one 1024 bytes before
// its end; both positions are device sectors plus a byte offset.

#include <cstddef>
#include <cstdint>

// Start sector of the volume whose main header was found at byte `offset` of
// `sector`; -1 when the header cannot be a main one at that place.
[[nodiscard]] long long MainHeaderStart(long long sector, std::size_t offset, std::uint32_t sectorSize);

// Start sector of a volume of `volumeBytes` whose alternate header was found
// there; -1 when it cannot be one.
[[nodiscard]] long long AlternateHeaderStart(long long sector, std::size_t offset, std::uint32_t sectorSize,
                                             std::uint64_t volumeBytes);

// Sector and byte offset of the main header of a volume starting at `start`.
struct HeaderPosition {
  long long sector = -1;
  std::size_t offset = 0;
};
[[nodiscard]] HeaderPosition MainHeaderPosition(long long start, std::uint32_t sectorSize);
