#pragma once
// Tree builder in front of the real one while an intact volume is walked by
// the complete scan: stamps each node with the volume's partition index and
// marks the sectors of live files in the shared bitmap.

#include <cstdint>

#include "core/model/Contracts.h"

class CHFSPlusDirectoryTreeBuilder : public IDirecotryTreeBuilder {
 public:
  CHFSPlusDirectoryTreeBuilder(IDirecotryTreeBuilder* inner, std::uint32_t sectorsPerBlock, std::uint32_t partition,
                               std::uint64_t startSector)
      : m_pInner(inner), m_u32SectorsPerBlock(sectorsPerBlock), m_u32Partition(partition), m_u64Start(startSector) {}
  ~CHFSPlusDirectoryTreeBuilder() override = default;
  CHFSPlusDirectoryTreeBuilder(const CHFSPlusDirectoryTreeBuilder&) = delete;
  CHFSPlusDirectoryTreeBuilder& operator=(const CHFSPlusDirectoryTreeBuilder&) = delete;

  int Initialize(const char* deviceName, IDrirectoryTree* tree, IRecoveryFilter* filter) override;
  // 0 without an inner builder; otherwise the inner builder's answer.
  int AddNode(IFileNode* node, _tagSearcherType type) override;
  int AddSearcherInfo(_tagSearcherType type, long long rootId) override;
  void FlashBuild(_tagSearcherType type) override;
  // Releases nothing: the inner builder belongs to its controller.
  void Release() override;
  void SetPartitonDevice(CSearchedPartitionInfo* partition, IStorageDevice* device) override;

  void SetBitmap(TBitmap* bitmap) { m_pBitmap = bitmap; }

 private:
  IDirecotryTreeBuilder* m_pInner;
  TBitmap* m_pBitmap = nullptr;
  std::uint32_t m_u32SectorsPerBlock;
  std::uint32_t m_u32Partition;
  std::uint64_t m_u64Start;
};
