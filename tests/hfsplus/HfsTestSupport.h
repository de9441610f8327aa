#pragma once
// Helpers of the HFS+ tests: images on disk, The Sleuth Kit's listings.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "support/CliProgram.h"
#include "support/Files.h"
#include "support/SleuthKit.h"

namespace hfstest {

using Bytes = std::vector<std::uint8_t>;

inline void WriteFile(const std::string& path, const Bytes& bytes) { testsupport::WriteFileBytes(path, bytes); }
using testsupport::ReadFileBytes;
// Output of a shell command ("" when it fails to start).
using testsupport::Capture;
bool HaveSleuthKit();

using testsupport::FlsEntry;

// `fls -r -p -l` of an image: every entry except the TSK-made special files
// ("$..." at the root).
std::map<std::string, FlsEntry> ListWithFls(const std::string& image, long long offsetSectors = 0);

// UTC "YYYY-MM-DD HH:MM:SS" of an HFS date.
std::string HfsDateText(std::uint32_t hfsSeconds);
// UTC "YYYY-MM-DD HH:MM:SS" of a FILETIME.
std::string FileTimeText(long long fileTime);

Bytes Pattern(std::size_t size, std::uint32_t seed);

}  // namespace hfstest
