#include "core/partition/GptReader.h"

#include <vector>

#include "core/partition/GptLayout.h"
#include "core/partition/GptTable.h"
#include "core/partition/PartitionTableAnalyze.h"
#include "core/partition/SectorRead.h"

namespace {

struct LoadedTable {
  GptHeader header;
  std::vector<std::uint8_t> array;
};

// Reads and checks the header at `lba` and its entry array. A device read
// failure is kept in `readError`.
bool LoadTable(IStorageDevice& disk, std::uint64_t lba, LoadedTable& table, RESULT& readError) {
  const long long total = disk.GetTotalSectors();
  const auto sectorSize = static_cast<std::uint32_t>(disk.GetSectorSize());
  if (total <= 0 || lba >= static_cast<std::uint64_t>(total)) return false;
  std::vector<std::uint8_t> sector;
  if (const RESULT r = ReadDiskSectors(disk, static_cast<long long>(lba), 1, sector); result::Failed(r)) {
    if (result::Succeeded(readError)) readError = r;
    return false;
  }
  if (!DecodeGptHeader(ByteView(sector.data(), sector.size()), lba, static_cast<std::uint64_t>(total), sectorSize,
                       table.header)) {
    return false;
  }
  const std::uint64_t bytes = table.header.ArrayBytes();
  if (bytes == 0) {
    table.array.clear();
    return table.header.entryArrayCrc == 0;  // CRC of nothing
  }
  const auto sectors = static_cast<long long>((bytes + sectorSize - 1) / sectorSize);
  if (const RESULT r = ReadDiskSectors(disk, static_cast<long long>(table.header.entryLba), sectors, table.array);
      result::Failed(r)) {
    if (result::Succeeded(readError)) readError = r;
    return false;
  }
  return GptArrayCrcMatches(ByteView(table.array.data(), table.array.size()), table.header);
}

void AddEntries(const std::vector<GptRawEntry>& raws, long long total, long long sectorSize,
                std::list<PartitionEntry>& out) {
  const auto disk = static_cast<std::uint64_t>(total);
  for (const GptRawEntry& raw : raws) {
    if (raw.firstLba >= disk) continue;
    std::uint64_t count;
    if (raw.lastLba < raw.firstLba || raw.lastLba >= disk) {
      count = disk - raw.firstLba;
    } else {
      count = raw.lastLba - raw.firstLba + 1;
    }
    // Small entries (reserved and boot areas) are left out.
    if (count <= static_cast<std::uint64_t>(CBaseGPTAnalyzer::kMinPartitionBytes / sectorSize)) continue;
    PartitionEntry entry;
    entry.index = raw.number;
    entry.startSector = static_cast<long long>(raw.firstLba);
    entry.sectorCount = static_cast<long long>(count);
    entry.typeGuid = raw.typeGuid;
    entry.uniqueGuid = raw.uniqueGuid;
    out.push_back(entry);
  }
}

}  // namespace

RESULT CBaseGPTAnalyzer::Analyze(std::list<PartitionEntry>& out) {
  const long long total = m_disk.GetTotalSectors();
  const long long sectorSize = m_disk.GetSectorSize();
  RESULT readError = result::kSuccess;
  LoadedTable table;
  if (LoadTable(m_disk, 1, table, readError) ||
      (total > 2 && LoadTable(m_disk, static_cast<std::uint64_t>(total - 1), table, readError))) {
    const ByteView array(table.array.data(), table.array.size());
    AddEntries(DecodeGptEntries(array, table.header.entryCount, table.header.entrySize), total, sectorSize, out);
    return result::kSuccess;
  }

  // Neither header holds: keep what the classic array at LBA 2 shows.
  const long long classicBytes = static_cast<long long>(gpt::kClassicEntryCount) * gpt::kMinEntrySize;
  long long sectors = (classicBytes + sectorSize - 1) / sectorSize;
  if (total > 2 && sectors > total - 2) sectors = total - 2;
  std::vector<std::uint8_t> array;
  if (sectors > 0 && result::Succeeded(ReadDiskSectors(m_disk, 2, sectors, array))) {
    AddEntries(DecodeGptEntries(ByteView(array.data(), array.size()), gpt::kClassicEntryCount, gpt::kMinEntrySize),
               total, sectorSize, out);
  }
  return result::Failed(readError) ? readError : QV_RESULT(result::kModulePartitionTable, kPtDamaged);
}
