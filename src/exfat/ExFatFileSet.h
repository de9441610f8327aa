#pragma once
// One run of directory sectors found by the complete scan: the entry sets in
// it, what its special entries tell of the partition, and the cluster sizes
// its contents allow.

#include <cstdint>
#include <set>
#include <vector>

#include "exfat/ExFatFileBaseInfo.h"

class CFileSet {
 public:
  enum Flag : std::uint8_t {
    kLabel = 0x01,
    kBitmap = 0x02,
    kUpcase = 0x04,
    kAbridged = 0x08,
    kNotEnd = 0x10,
    kMatched = 0x20,
  };
  static constexpr std::uint32_t kMinClusterBytes = 512;
  static constexpr std::uint32_t kMaxClusterBytes = 0x2000000;

  // Files the record (live and deleted alike) and narrows the bounds.
  void UpdateFileList(_tagFileBaseInfo info);
  void RecordSector(std::int64_t sector);
  void SetVolumeLabel() { m_flags |= kLabel; }
  void SetBitmapInfo(std::uint32_t cluster, std::uint64_t length);
  void SetUpcaseTableInfo(std::uint32_t cluster, std::uint64_t size);
  void SetFlag(Flag f) { m_flags |= f; }
  bool Has(Flag f) const { return (m_flags & f) != 0; }
  bool IsRoot() const { return Has(kLabel) && Has(kBitmap) && Has(kUpcase); }
  bool HasFile() const { return !m_files.empty(); }
  // Lowers the bounds by what contiguous files' lengths and gaps allow.
  void CalculateClusterSize();
  // Whether a cluster of `bytes` bytes fits what the set allows.
  bool AllowsClusterBytes(std::uint64_t bytes) const;
  // The other set continues this one (or is continued by it): both keep the
  // intersection of their cluster-size ranges.
  void Narrow(CFileSet& other);

  // Claims the first cluster of each live file (and every cluster of a
  // contiguous one) in `claimed`; false on the first cluster claimed twice
  // or lying outside the heap's cluster numbers.
  bool GetAndCheckClusterSet(std::set<std::uint32_t>& claimed, std::uint32_t bytesPerCluster) const;
  // Appends the first clusters of the live folders.
  void GetFolder(std::vector<std::uint32_t>& out) const;
  bool HasFolder() const;

  const std::vector<_tagFileBaseInfo>& Files() const { return m_files; }
  std::int64_t FirstSector() const { return m_firstSector; }
  std::uint32_t Length() const { return m_length; }
  std::uint32_t LowestCluster() const { return m_lowestCluster; }
  std::uint32_t HighestCluster() const { return m_highestCluster; }
  std::uint32_t MinClusterBytes() const { return m_minClusterBytes; }
  std::uint32_t MaxClusterBytes() const { return m_maxClusterBytes; }
  std::uint32_t RootCluster() const { return m_rootCluster; }
  std::uint32_t BitmapCluster() const { return m_bitmapCluster; }
  std::uint64_t BitmapBytes() const { return m_bitmapBytes; }
  std::uint32_t UpcaseCluster() const { return m_upcaseCluster; }

  std::int64_t m_next = -1;  // first sector of the set that continues this one
  std::int64_t m_last = -1;  // first sector of the set this one continues

 private:
  std::vector<_tagFileBaseInfo> m_files;
  std::uint32_t m_lowestCluster = 0xFFFFFFF6;
  std::uint32_t m_highestCluster = 0;
  std::uint32_t m_minClusterBytes = kMinClusterBytes;
  std::uint32_t m_maxClusterBytes = kMaxClusterBytes;
  std::int64_t m_firstSector = -1;
  std::uint32_t m_length = 0;
  std::uint8_t m_flags = 0;
  std::uint32_t m_rootCluster = 2;
  std::uint32_t m_bitmapCluster = 0;
  std::uint64_t m_bitmapBytes = 0;
  std::uint32_t m_upcaseCluster = 0;
  std::uint64_t m_upcaseBytes = 0;
};
