#pragma once
// NTFS images made by mkntfs and ntfs-3g for the engine's tests, and The
// Sleuth Kit's view of them.

#include <cstdint>
#include <map>
#include <string>

#include <vector>

#include "support/Absent.h"
#include "support/CliProgram.h"
#include "support/Files.h"
#include "support/SleuthKit.h"

namespace ntfstest {

using testsupport::CliPath;

using Bytes = std::vector<std::uint8_t>;

// Why images cannot be made here ("" when they can).
testsupport::Lack ImageToolsMissing();
// Builds the standard test volume (64 MiB) at `image`, with its source files
// under `sources`; false on failure. `clusterBytes` and `sectorBytes` go to mkntfs.
bool MakeTestVolume(const std::string& image, const std::string& sources, int clusterBytes = 4096,
                    int sectorBytes = 512);
// A volume whose emptied recycle bin holds "Quarterly report.docx" (30000
// bytes, its data in `sources`/big) and "Notizen für später.txt" (110 bytes,
// `sources`/small) under $Recycle.Bin/S-1-5-21-1000 as "$R" and "$I" files.
bool MakeRecycleBinVolume(const std::string& image, const std::string& sources);

using testsupport::FlsEntry;
// `fls -r -d -p -l` (deleted entries only, orphans left out).
std::map<std::string, FlsEntry> DeletedWithFls(const std::string& image, long long offsetSectors = 0);
// `fls -r -p -l`: every named entry, system files and orphans left out.
std::map<std::string, FlsEntry> AllWithFls(const std::string& image, long long offsetSectors = 0);
// `icat` of one record's data.
Bytes IcatData(const std::string& image, std::uint64_t inode, long long offsetSectors = 0);

using testsupport::Capture;
using testsupport::ReadFileBytes;
inline void WriteFile(const std::string& path, const Bytes& bytes) { testsupport::WriteFileBytes(path, bytes); }
// UTC "YYYY-MM-DD HH:MM:SS" of a FILETIME.
std::string FileTimeText(long long fileTime);

}  // namespace ntfstest
