#pragma once
// Whole files read and written by the tests (an absent file reads as empty).

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

std::vector<std::uint8_t> ReadFileBytes(const std::string& path);
std::string ReadFileText(const std::string& path);
// Replaces the file with `bytes`; false when it cannot be written whole.
bool WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace testsupport
