#pragma once
// The quick scan of one mounted FAT16 or FAT32 volume: its boot sector, its
// FAT and its whole folder tree, live and deleted entries alike.

#include <vector>

#include "core/model/Contracts.h"
#include "fat/FatSearchedPartitionInfo.h"

// Codes of module 0x010A.
enum FatSearchCode : std::uint32_t {
  kFatNoRoot = 1,
  kFatNoPartitionRecord = 2,
  kFatNotAVolume = 3,
  kFatNoBuffer = 4,
  kFatNoDeviceOrSink = 5,
  kFatNoBuilderOrRecord = 7,
  kFatNotFat16Or32 = 0xC,
  kFatCancelled = 0xD,
};

class CFATQuickSearcher final : public IQuickFileSystemSearchController {
 public:
  // Partition flags: boot sector at 0, backup at 6 (FAT32), first and second FAT.
  static constexpr std::uint32_t kFat16Flags = 0x3C3;
  static constexpr std::uint32_t kFat32Flags = 0x3CC;

  CFATQuickSearcher() = default;
  ~CFATQuickSearcher() override;
  CFATQuickSearcher(const CFATQuickSearcher&) = delete;
  CFATQuickSearcher& operator=(const CFATQuickSearcher&) = delete;

  void SetDirecotryTreeBuilder(IDirecotryTreeBuilder* builder) override { m_builder = builder; }
  // A clone of the record (the caller owns it) and 1; 0 without one.
  int GetSearchedPartitionInfo(CSearchedPartitionInfo** out, int capacity) override;
  [[nodiscard]] RESULT QuickSearchFiles(IStorageDevice* device, IProgress* progress) override;

 private:
  [[nodiscard]] RESULT GetFsType(int& type);
  [[nodiscard]] RESULT FatQuickSearchFiles(int type, IProgress* progress);
  [[nodiscard]] RESULT ScanVolume(int type, std::vector<std::uint8_t>& sector);

  IDirecotryTreeBuilder* m_builder = nullptr;
  std::vector<CFATSearchedPartitionInfo*> m_partitions;
  IStorageDevice* m_device = nullptr;
  IProgress* m_progress = nullptr;
};

[[nodiscard]] IQuickFileSystemSearchController* CreateFATQuickSearcher();
