#pragma once
// The APFS member of the complete scan: finds container superblocks (or a
// lone volume superblock) in the sweep, opens a container reader for each
// and offers every other APFS-looking block to the readers.

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "apfs/APFSContainerReader.h"
#include "apfs/APFSDelegate.h"
#include "core/model/Contracts.h"

class APFSDeepScan : public ICompleteFileSystemSearchController, public APFSDelegate {
 public:
  APFSDeepScan();
  ~APFSDeepScan() override;

  void SetDirecotryTreeBuilder(IDirecotryTreeBuilder* builder) override { m_pBuilder = builder; }
  int GetSearchedPartitionInfo(CSearchedPartitionInfo** out, int capacity) override;
  void SetDevice(IStorageDevice* device) override;
  void SetBlockSize(int) override {}
  int PreparetoSearch() override { return 1; }
  void EndSearch(int build) override;
  int AnalyzeBlock(long long startSector, long long sectorCount) override;
  std::uint64_t GetFoundFileCount() const override { return m_foundFiles; }
  void SetIProgressSink(IProgress* progress) override { m_pProgress = progress; }
  void SetBitmap(TBitmap*) override {}
  void SetFileSectorMap(FileSectorMap*) override {}
  TBitmap* GetBitmap() override { return nullptr; }
  void SetActivePartition(bool) override {}

  bool ContinueCheck() override;
  int OnFileNodeFound(APFSFileNode* node) override;
  int ReadBlocks(APFSContainerReader* reader, std::uint64_t block, std::uint32_t byteCount, void* buffer) override;

  // Readers in ascending start sector.
  std::vector<APFSContainerReader*> Readers() const;

 private:
  bool TakeContainerSuperblock(std::uint64_t sector, const ByteView& block);
  // Start sector of the container whose superblock the sweep met at `sector`.
  std::uint64_t ContainerStart(std::uint64_t sector, const ByteView& block);
  bool TakeLoneVolume(std::uint64_t sector, const ByteView& block);
  APFSContainerReader* NewReader(std::uint64_t sector, int index, std::uint64_t startSector);

  IDirecotryTreeBuilder* m_pBuilder = nullptr;
  IStorageDevice* m_pDevice = nullptr;
  IProgress* m_pProgress = nullptr;
  std::map<std::uint64_t, std::unique_ptr<APFSContainerReader>> m_readers;
  int m_iSectorSize = 512;
  std::uint64_t m_foundFiles = 0;  // file nodes handed to the builder so far
  // A group of blocks read from the device when the read-ahead cache does
  // not hold it.
  std::vector<std::uint8_t> m_buffer;
};

[[nodiscard]] ICompleteFileSystemSearchController* CreateAPFSDeepSearcher();
[[nodiscard]] IQuickFileSystemSearchController* CreateAPFSQuickSearcher();
