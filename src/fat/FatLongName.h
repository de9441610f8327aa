#pragma once
// Long file names: UTF-16LE units to UTF-8, and the name test.

#include <cstdint>
#include <string>
#include <vector>

// Converts up to the first NUL unit; pairs of surrogates are joined, a lone
// surrogate becomes U+FFFD.
std::string Utf16UnitsToUtf8(const std::vector<std::uint16_t>& units);

// False for an empty name or one holding ? * | \ / : " < >.
bool IsValidLongFileName(const std::string& name);
