#include "core/partition/ApmReader.h"

#include <vector>

#include "core/partition/ApmLayout.h"
#include "core/partition/ApmMap.h"
#include "core/partition/PartitionBounds.h"
#include "core/partition/PartitionTableAnalyze.h"
#include "core/partition/SectorRead.h"

RESULT CAPMAnaly::Analyze(std::list<PartitionEntry>& out) {
  const long long sectorSize = m_disk.GetSectorSize();
  const long long total = m_disk.GetTotalSectors();
  if (sectorSize <= 0 || sectorSize % 512 != 0) return QV_RESULT(result::kModulePartitionTable, kPtNotUsable);

  std::vector<std::uint8_t> buffer;
  if (const RESULT r = ReadDiskSectors(m_disk, 0, 1, buffer); result::Failed(r)) return r;
  std::uint32_t blockSize = 0;
  if (!DecodeApmDriverMap(ByteView(buffer.data(), buffer.size()), blockSize)) {
    return QV_RESULT(result::kModulePartitionTable, kPtDamaged);
  }
  const long long sectorsPerBlock = blockSize / sectorSize;
  if (sectorsPerBlock < 1) return QV_RESULT(result::kModulePartitionTable, kPtDamaged);

  if (const RESULT r = ReadDiskSectors(m_disk, sectorsPerBlock, 1, buffer); result::Failed(r)) return r;
  ApmMapEntry first;
  if (!DecodeApmMapEntry(ByteView(buffer.data(), buffer.size()), first) || first.mapEntryCount > apm::kMaxMapEntries) {
    return QV_RESULT(result::kModulePartitionTable, kPtDamaged);
  }

  for (std::uint32_t i = 1; i <= first.mapEntryCount; ++i) {
    if (const RESULT r = ReadDiskSectors(m_disk, static_cast<long long>(i) * sectorsPerBlock, 1, buffer);
        result::Failed(r)) {
      return r;
    }
    ApmMapEntry entry;
    if (!DecodeApmMapEntry(ByteView(buffer.data(), buffer.size()), entry)) continue;
    PartitionEntry partition;
    partition.index = static_cast<std::int32_t>(i);
    partition.apmType = entry.type;
    if (IsApmNonDataType(partition.ApmTypeText())) continue;
    const long long start = static_cast<long long>(entry.startBlock) * sectorsPerBlock;
    const long long count = static_cast<long long>(entry.blockCount) * sectorsPerBlock;
    if (count < 1) continue;
    if (!FitEntryToDisk(start, count, total, partition)) continue;
    out.push_back(partition);
  }
  return result::kSuccess;
}
