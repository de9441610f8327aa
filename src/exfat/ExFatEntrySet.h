#pragma once
// Assembly of one entry set (file entry, stream extension, names, benign
// secondaries) from consecutive 32-byte entries, and its checks once whole.

#include <array>
#include <cstdint>
#include <vector>

#include "core/util/ByteView.h"
#include "exfat/ExFatDirEntryLayout.h"
#include "exfat/ExFatFileBaseInfo.h"

// Where a set's clusters must lie: below `clusterLimit` (the cluster count
// + 2). A limit of 0 skips the cluster-heap test (the heap is not known).
struct ExFatHeapLimits {
  std::uint32_t clusterLimit = 0;
  std::uint32_t bytesPerCluster = 0;
};

class CExFatEntrySet {
 public:
  enum class Step { kTaken, kCompleted, kRefused };
  static constexpr std::size_t kMaxEntries = exfatde::kMaxSecondaryCount + 1;

  void Clear();
  // 0 empty, 1 file entry taken, 2 stream taken, 3 and more: names taken.
  int State() const { return m_state; }
  bool Busy() const { return m_state != 0; }
  std::uint8_t SecondaryLeft() const { return m_secondaryLeft; }

  // Starts a set with a file entry that passed its test.
  void Begin(const ByteView& fileEntry, std::int64_t sector);
  // Adds the next secondary entry (already tested); kRefused leaves the set
  // unchanged, the caller decides whether to clear it.
  Step Add(const ByteView& entry);
  // After kCompleted: the record when checksum, counts, name length and
  // cluster range all hold. The set is cleared either way.
  bool Finish(const ExFatHeapLimits& heap, _tagFileBaseInfo& out);

  // For a set cut by the end of its folder's data: the record of its file
  // entry, stream extension and the name characters taken, when at least one
  // name entry was taken. Its checksum cannot be checked. Clears the set.
  bool FinishCut(const ExFatHeapLimits& heap, _tagFileBaseInfo& out);

  // The bytes taken so far.
  ByteView Bytes() const { return ByteView(m_bytes.data(), m_entries * exfatde::kEntrySize); }

 private:
  bool Decode(const ExFatHeapLimits& heap, bool whole, _tagFileBaseInfo& out) const;

  int m_state = 0;
  bool m_inUse = false;
  std::uint8_t m_secondaryCount = 0;
  std::uint8_t m_secondaryLeft = 0;
  std::int64_t m_sector = 0;
  std::size_t m_entries = 0;
  std::array<std::uint8_t, kMaxEntries * exfatde::kEntrySize> m_bytes{};
};
