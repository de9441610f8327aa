#pragma once
// Classifier of arbitrary sectors for the complete scan: decides whether a
// sector holds exFAT directory entries and gathers runs of such sectors into
// file sets. Entry sets cut by the end of a run are recorded and joined with
// the run that continues them, once.

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "core/util/ByteView.h"
#include "exfat/ExFatEntryChecks.h"
#include "exfat/ExFatEntrySet.h"
#include "exfat/ExFatFileSet.h"

class CFDTPreAnaylze {
 public:
  static constexpr std::size_t kCutInBytes = 576;
  static constexpr std::size_t kMaxPendingPieces = 4096;

  void PrepareAnayze(std::uint32_t sectorShift, std::uint32_t clusterShift, std::uint64_t totalSectors);
  // `data` starts at the sector and may hold the sectors that follow it.
  // True when the current set is finished (take it with GetFileSet).
  bool Analyze(std::int64_t sector, const ByteView& data);
  // The current set when it holds a file or is a root folder; else null (the
  // set is dropped). The decoder starts a new set either way.
  [[nodiscard]] std::unique_ptr<CFileSet> GetFileSet();
  // Links made by joins: the set that continues the one starting at `sector`,
  // and the one it continues; -1 when none.
  std::int64_t GetNext(std::int64_t sector) const;
  std::int64_t GetLast(std::int64_t sector) const;
  void FinisAnayze();
  std::size_t PendingPieces() const { return m_cutOff.size() + m_cutIn.size(); }

 private:
  struct CutOff {
    std::int64_t sector;             // where the file entry stood
    std::vector<std::uint8_t> head;  // entries up to the sector's end
  };
  bool Joint(std::int64_t sector, const ByteView& head, const ByteView& tail);
  // Whether the entry set at `offset` is cut by the run's end (recorded then).
  bool CheckAndRecordNotEnd(std::int64_t sector, const ByteView& data, std::size_t offset);
  void RecordAbrige(std::int64_t sector, const ByteView& data);
  void AddSecondary(const ByteView& entry, bool firstOfRun);

  ExFatEntryLimits m_limits;
  std::uint32_t m_sectorBytes = 512;
  std::unique_ptr<CFileSet> m_set;
  CExFatEntrySet m_entry;
  std::map<std::int64_t, CutOff> m_cutOff;                                // by run start
  std::map<std::int64_t, std::array<std::uint8_t, kCutInBytes>> m_cutIn;  // by the abridged set's first sector
  std::map<std::int64_t, std::int64_t> m_next;
  std::map<std::int64_t, std::int64_t> m_last;
};
