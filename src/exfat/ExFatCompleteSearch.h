#pragma once
// Complete scan for exFAT partitions: classifies every sector of the sweep
// (boot sector, boot region, FAT start, up-case table start, directory
// sector), builds partitions at the end and hands their files over.

#include <cstdint>
#include <vector>

#include "core/model/Contracts.h"
#include "exfat/ExFatPartitionBuilder.h"
#include "exfat/ExFatPreAnalyze.h"

class CExFatCompleteSearch final : public ICompleteFileSystemSearchController {
 public:
  CExFatCompleteSearch() = default;
  ~CExFatCompleteSearch() override = default;

  void SetDirecotryTreeBuilder(IDirecotryTreeBuilder* builder) override { m_builder = builder; }
  // The number of partitions; written only when `capacity` holds them all.
  int GetSearchedPartitionInfo(CSearchedPartitionInfo** out, int capacity) override;
  void SetDevice(IStorageDevice* device) override { m_device = device; }
  void SetBlockSize(int sectors) override { m_sectorsPerBlock = sectors; }
  int PreparetoSearch() override { return 1; }
  void EndSearch(int build) override;
  int AnalyzeBlock(long long startSector, long long sectorCount) override;
  std::uint64_t GetFoundFileCount() const override { return m_foundFiles; }

  // File sets kept so far (measurements).
  std::size_t FileSetCount() const { return m_builder2.SetCount(); }

 private:
  bool PrepareAnalyzeBlock();
  void AnalyzeView(long long startSector, long long sectorCount, const std::uint8_t* view);
  void AnalyzeSector(std::int64_t sector, const ByteView& data);
  void TakeSet();

  IStorageDevice* m_device = nullptr;
  int m_sectorsPerBlock = 0;
  IDirecotryTreeBuilder* m_builder = nullptr;
  std::uint32_t m_sectorSize = 0;
  std::int64_t m_totalSectors = 0;
  std::vector<std::uint8_t> m_buffer;
  std::int64_t m_carriedFirst = -2;  // sector number of the buffer's first carried sector
  bool m_prepared = false;
  std::uint64_t m_foundFiles = 0;  // file entry sets (not folders) swept so far
  CFDTPreAnaylze m_decoder;
  CPartitionBuilder m_builder2;
};

[[nodiscard]] ICompleteFileSystemSearchController* CreateEXFatSearcher();
