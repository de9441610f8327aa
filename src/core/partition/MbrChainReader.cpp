#include "core/partition/MbrChainReader.h"

#include <algorithm>
#include <set>
#include <vector>

#include "core/partition/MbrSector.h"
#include "core/partition/PartitionBounds.h"
#include "core/partition/PartitionTableAnalyze.h"
#include "core/partition/SectorRead.h"

namespace {

bool HasStart(const std::list<PartitionEntry>& out, long long start) {
  return std::any_of(out.begin(), out.end(), [start](const PartitionEntry& e) { return e.startSector == start; });
}

}  // namespace

void CPartitionTableChainAnalyzer::Add(int index, long long start, long long count,
                                       std::list<PartitionEntry>& out) const {
  PartitionEntry entry;
  entry.index = index;
  if (!FitEntryToDisk(start, count, m_disk.GetTotalSectors(), entry)) return;
  out.push_back(entry);
}

RESULT CPartitionTableChainAnalyzer::Analyze(std::list<PartitionEntry>& out) {
  std::vector<std::uint8_t> buffer;
  if (const RESULT r = ReadDiskSectors(m_disk, 0, 1, buffer); result::Failed(r)) return r;
  MbrSector mbr;
  if (!DecodeMbrSector(ByteView(buffer.data(), buffer.size()), mbr)) {
    return QV_RESULT(result::kModulePartitionTable, kPtSmallSector);
  }
  if (!mbr.hasSignature || !mbr.BootFlagsValid()) return QV_RESULT(result::kModulePartitionTable, kPtDamaged);

  int nextLogical = 5;
  for (std::size_t i = 0; i < mbr.slots.size(); ++i) {
    const MbrSlot& slot = mbr.slots[i];
    if (slot.empty) continue;
    if (slot.IsExtended()) {
      if (const RESULT r = WalkChain(slot.firstSector, nextLogical, out); result::Failed(r)) return r;
    } else {
      Add(static_cast<int>(i) + 1, slot.firstSector, slot.sectorCount, out);
    }
  }
  return result::kSuccess;
}

RESULT CPartitionTableChainAnalyzer::WalkChain(long long base, int& nextIndex, std::list<PartitionEntry>& out) {
  const long long total = m_disk.GetTotalSectors();
  std::set<long long> visited;
  long long record = base;
  std::vector<std::uint8_t> buffer;
  for (int step = 0; step < kMaxChainRecords; ++step) {
    // A record seen before closes a loop: what was listed stands.
    if (!visited.insert(record).second) return result::kSuccess;
    if (record >= total) return QV_RESULT(result::kModulePartitionTable, kPtDamaged);
    if (const RESULT r = ReadDiskSectors(m_disk, record, 1, buffer); result::Failed(r)) return r;
    MbrSector ebr;
    DecodeMbrSector(ByteView(buffer.data(), buffer.size()), ebr);
    if (!ebr.hasSignature || !ebr.BootFlagsValid()) return QV_RESULT(result::kModulePartitionTable, kPtDamaged);

    bool haveNext = false;
    long long next = 0;
    for (const MbrSlot& slot : ebr.slots) {
      if (slot.empty) continue;
      // Pointing back at a listed partition: stop reading this record.
      if (HasStart(out, record + slot.firstSector)) break;
      if (slot.IsExtended()) {
        if (haveNext) return QV_RESULT(result::kModulePartitionTable, kPtDamaged);
        haveNext = true;
        next = base + slot.firstSector;
      } else {
        Add(nextIndex++, record + slot.firstSector, slot.sectorCount, out);
      }
    }
    if (!haveNext) return result::kSuccess;
    record = next;
  }
  return QV_RESULT(result::kModulePartitionTable, kPtDamaged);
}
