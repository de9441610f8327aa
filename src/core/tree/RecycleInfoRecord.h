#pragma once
// Windows recycle-bin information records ("$I..."): version (u64), original
// size (u64), deletion time (u64), then the original path in UTF-16LE:
//   version 1: a fixed field of 260 units at offset 24;
//   version 2: a unit count (u32, terminator included) at 24, the path at 28.
// The matching "$R..." file holds the data; the record gives back its name.

#include <cstddef>
#include <string>

#include "core/util/ByteView.h"

namespace recycle_info {

constexpr std::size_t kHeaderSize = 24;
constexpr std::size_t kV1PathOffset = 24;
constexpr std::size_t kV1PathBytes = 520;
constexpr std::size_t kV2LengthOffset = 24;
constexpr std::size_t kV2PathOffset = 28;
// Records are read up to this many bytes; larger ones are not used.
constexpr std::size_t kMaxRecordBytes = 1024;

// The UTF-8 file name of the original path (the text after its last
// backslash). False when the record is damaged, of an unknown version, its
// path has no drive prefix ("X:\"), or the name is empty or not a usable
// file name.
[[nodiscard]] bool DecodeOriginalName(const ByteView& record, std::string& name);

}  // namespace recycle_info
