#pragma once
// File allocation tables: one FAT loaded whole, the pair the scans use, and
// the tests that tell a FAT's first sector.

#include <cstdint>
#include <vector>

#include "core/device/StorageDevice.h"
#include "core/util/ByteView.h"
#include "fat/FatBootSector.h"

class IFATTable {
 public:
  virtual ~IFATTable() = default;
  // The raw next-cluster value; 0 when unknown.
  virtual std::uint32_t GetNextCluster(std::uint32_t cluster) = 0;
};

// One FAT held in memory. The constructors of the typed tables load it.
class IRealFATTable : public IFATTable {
 public:
  virtual bool IsValidFATTable() = 0;
  bool IsLoaded() const { return !m_buffer.empty(); }

 protected:
  IRealFATTable(IStorageDevice* device, long long firstSector, std::uint32_t sectorCount, std::uint32_t entryWidth);
  // Reads the whole table when its size lies in [minSectors, maxSectors]
  // (counted in 512-byte units, divided by sectorSize / 512).
  void Load(std::uint32_t minSectors512, std::uint32_t maxSectors512);
  ByteView View() const { return ByteView(m_buffer.data(), m_buffer.size()); }

  IStorageDevice* m_device;
  long long m_firstSector;
  std::uint32_t m_sectorCount;
  std::uint32_t m_sectorSize;
  std::uint32_t m_entryCount;
  std::vector<std::uint8_t> m_buffer;
};

class CFAT12Table final : public IRealFATTable {
 public:
  CFAT12Table(IStorageDevice* device, long long firstSector, std::uint32_t sectorCount);
  std::uint32_t GetNextCluster(std::uint32_t cluster) override;
  bool IsValidFATTable() override;
};

class CFAT16Table final : public IRealFATTable {
 public:
  CFAT16Table(IStorageDevice* device, long long firstSector, std::uint32_t sectorCount);
  std::uint32_t GetNextCluster(std::uint32_t cluster) override;
  bool IsValidFATTable() override;
};

class CFAT32Table final : public IRealFATTable {
 public:
  CFAT32Table(IStorageDevice* device, long long firstSector, std::uint32_t sectorCount);
  std::uint32_t GetNextCluster(std::uint32_t cluster) override;
  bool IsValidFATTable() override;
};

// The first FAT, or the second when the first is absent; owns both.
class CDoubleFATTable final : public IFATTable {
 public:
  CDoubleFATTable(IRealFATTable* first, IRealFATTable* second) : m_first(first), m_second(second) {}
  ~CDoubleFATTable() override;
  CDoubleFATTable(const CDoubleFATTable&) = delete;
  CDoubleFATTable& operator=(const CDoubleFATTable&) = delete;
  std::uint32_t GetNextCluster(std::uint32_t cluster) override;

 private:
  IRealFATTable* m_first;
  IRealFATTable* m_second;
};

class IFATTableFactory {
 public:
  // Never null: a pair of the tables that loaded and passed their checks.
  [[nodiscard]] static IFATTable* CreateFATTable(IStorageDevice* device, long long firstFatSector,
                                                 enumFILE_SYSTEM_TYPE type, std::uint32_t sectorsPerFat, int useFirst,
                                                 int useSecond);
  // A loaded, valid table or null.
  [[nodiscard]] static IRealFATTable* CreateRealFATTable(IStorageDevice* device, enumFILE_SYSTEM_TYPE type,
                                                         long long firstSector, std::uint32_t sectorCount);
  static void DestroyFATTable(IFATTable* table) { delete table; }
};

class CFATTableAnalyser {
 public:
  static bool IsUsedCluster(std::uint32_t cluster) { return cluster >= 2 && cluster <= 0x0FFFFFEF; }
  // FAT32 header first (type 2), then FAT16 (type 1).
  static bool IsValidFATTableFirstSector(const ByteView& sector, std::uint32_t sectorSize, enumFILE_SYSTEM_TYPE& type);
  static bool CheckFAT12Header(const ByteView& fat);
  static bool CheckFAT16Header(const ByteView& fat);
  static bool CheckFAT32Header(const ByteView& fat);
  // Body test: no entry is 1, points to itself or past the table.
  static bool CheckFATBody(const ByteView& fat, std::uint32_t entryWidth, std::uint32_t entryCount);
  // Index test: no two clusters lead to one and no chain loops. Linear time.
  static bool CheckFATIndex(const ByteView& fat, std::uint32_t entryWidth, std::uint32_t entryCount);
};
