#pragma once
// A FAT16 or FAT32 partition that a scan proved: its geometry and the
// evidence found for it.

#include <cstdint>

#include "core/model/SearchedPartitionInfo.h"

class CFATSearchedPartitionInfo final : public CSearchedPartitionInfo {
 public:
  enum Flag : std::uint32_t {
    kFlagFat16Boot = 0x002,
    kFlagFat32Boot = 0x004,
    kFlagFat32Backup = 0x008,
    kFlagSubFolder = 0x010,
    kFlagFirstFat = 0x040 | 0x080,
    kFlagSecondFat = 0x100 | 0x200,
    kBootFlags = 0x00F,
  };

  [[nodiscard]] static CFATSearchedPartitionInfo* CreateFATSearchedPartitionInfo(std::uint32_t sectorSize) {
    return new CFATSearchedPartitionInfo(sectorSize);
  }
  static void DestroyFATSearchedPartitionInfo(CFATSearchedPartitionInfo* p) { delete p; }

  int GetType() const override { return 1; }
  // Geometry, index and evidence; not the votes nor the rating.
  [[nodiscard]] CFATSearchedPartitionInfo* Clone() const;

  void MergeFlag(std::uint32_t flags) { m_flags |= flags; }
  std::uint32_t GetFlags() const { return m_flags; }
  std::uint16_t GetReservedSector() const { return m_reservedSectors; }
  void SetReservedSector(std::uint16_t n) { m_reservedSectors = n; }
  std::uint32_t GetSectorPerFAT() const { return m_sectorsPerFat; }
  void SetSectorPerFAT(std::uint32_t n) { m_sectorsPerFat = n; }
  std::uint32_t GetTotalCluster() const { return m_totalClusters; }
  void SetTotalCluster(std::uint32_t n) { m_totalClusters = n; }
  std::uint32_t GetRootInfo() const { return m_rootInfo; }
  void SetRootInfo(std::uint32_t n) { m_rootInfo = n; }
  void SetStartSector(long long sector) { m_llStartSector = sector; }
  long long GetStartSector() const { return m_llStartSector; }
  long long GetDataStart() const { return m_llClusterBaseSector; }

  long long Votes() const { return m_llValue48; }
  void AddVote() { ++m_llValue48; }
  // The rating also orders the partitions of one scan.
  void SetRating(int rating) {
    m_iValue80 = rating;
    m_dScore = rating;
  }

 private:
  explicit CFATSearchedPartitionInfo(std::uint32_t sectorSize) : CSearchedPartitionInfo(static_cast<int>(sectorSize)) {}

  std::uint16_t m_reservedSectors = 0;
  std::uint32_t m_sectorsPerFat = 0;
  std::uint32_t m_totalClusters = 0;
  std::uint32_t m_rootInfo = 0;
  std::uint32_t m_flags = 0;
};
