#pragma once
// Decoder of the clusters of one known exFAT folder: follows entry sets in
// order and keeps each complete, checked set.

#include <cstdint>
#include <vector>

#include "core/util/ByteView.h"
#include "exfat/ExFatEntryChecks.h"
#include "exfat/ExFatEntrySet.h"
#include "exfat/ExFatFileBaseInfo.h"

class CEFDTAnalyze {
 public:
  struct TableRef {
    bool seen = false;
    std::uint32_t firstCluster = 0;
    std::uint64_t length = 0;
  };

  void PrepareAnayze(std::uint32_t sectorShift, std::uint32_t clusterShift, std::uint64_t totalSectors,
                     ExFatHeapLimits heap = {});
  // Decodes one cluster that starts at `sector`; false when the folder's
  // entries end in it. A set may run on into the next cluster.
  bool Analyze(const ByteView& cluster, std::int64_t sector);
  // Feeds entries of a cluster that may follow a folder's end while a set
  // begun in the folder is in progress. True when they complete it with a
  // matching checksum; otherwise the set is left as it was.
  bool FinishPending(const ByteView& cluster, std::int64_t sector);
  bool HasPending() const { return m_set.Busy(); }
  const CExFatEntrySet& Pending() const { return m_set; }
  // Keeps a set cut by the folder's end with the name characters it has.
  void KeepCutHead();
  // Clears the set in progress (between folders).
  void Reset() { m_set.Clear(); }

  std::vector<_tagFileBaseInfo>& Completed() { return m_completed; }
  // The first allocation bitmap entry seen since preparation.
  const TableRef& Bitmap() const { return m_bitmap; }

 private:
  // False when the folder ends at this entry.
  bool Entry(const ByteView& entry, std::int64_t sector);
  void Add(const ByteView& entry);

  CExFatEntrySet m_set;
  ExFatEntryLimits m_limits;
  ExFatHeapLimits m_heap;
  std::vector<_tagFileBaseInfo> m_completed;
  TableRef m_bitmap;
};
