#pragma once
// Tests of single exFAT directory entries and the entry-set checksum. Every
// function takes a view of the bytes it examines; nothing is trusted.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/util/ByteView.h"

// 1 where a byte value may stand in a name, 0 where it may not.
extern const std::array<std::uint8_t, 256> g_u8FileNameCheckTable;

// Limits of a range test: the device's total sectors and the shifts that turn
// byte lengths into sectors and clusters.
struct ExFatEntryLimits {
  std::uint32_t sectorShift = 9;
  std::uint32_t clusterShift = 9;
  std::uint64_t totalSectors = 0;
};

namespace exfatcheck {

// Each test takes one 32-byte entry.
bool FileEntry(const ByteView& entry);
bool StreamEntry(const ByteView& entry, const ExFatEntryLimits& limits);
bool NameEntry(const ByteView& entry);
bool LabelEntry(const ByteView& entry);
bool BitmapEntry(const ByteView& entry, const ExFatEntryLimits& limits);
bool UpcaseEntry(const ByteView& entry, const ExFatEntryLimits& limits);

// A timestamp with a real day, month, hour, minute and second.
bool Timestamp(std::uint32_t timestamp);

// Checksum of an entry set as stored in its file entry (bytes 2-3 skipped).
std::uint16_t SetChecksum(const ByteView& set, bool asInUse);

// UTF-8 of UTF-16LE units, cut at a character boundary before `maxBytes`.
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(const std::vector<std::uint16_t>& units, std::size_t maxBytes);

}  // namespace exfatcheck

// True when `stored` is the checksum of the set's bytes; for a deleted set the
// checksum of its in-use form is accepted too. An empty set matches only 0.
bool CheckDirEntry(const ByteView& set, std::uint16_t stored);
