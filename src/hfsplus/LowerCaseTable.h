#pragma once
// Case folding of HFS+ catalog names.

#include <cstddef>
#include <cstdint>

inline constexpr std::size_t kLowerCaseTableSize = 2816;
extern const std::uint16_t _gLowerCaseTable[kLowerCaseTableSize];
