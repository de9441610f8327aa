#include "hfsplus/HfsPlusDirectoryTreeBuilder.h"

#include <limits>

#include "core/bitmap/Bitmap.h"
#include "hfsplus/BitmapMarking.h"

int CHFSPlusDirectoryTreeBuilder::Initialize(const char* deviceName, IDrirectoryTree* tree, IRecoveryFilter* filter) {
  return m_pInner != nullptr ? m_pInner->Initialize(deviceName, tree, filter) : 0;
}

int CHFSPlusDirectoryTreeBuilder::AddNode(IFileNode* node, _tagSearcherType type) {
  if (m_pInner == nullptr || node == nullptr) return 0;
  if (auto* file = dynamic_cast<CFileNode*>(node)) {
    file->SetBelongedPartition(static_cast<unsigned short>(m_u32Partition));
    if (m_pBitmap != nullptr && file->IsDeleted() == 0 &&
        m_u64Start <= static_cast<std::uint64_t>(std::numeric_limits<long long>::max())) {
      const VolumeGeometry geometry{static_cast<long long>(m_u64Start), m_u32SectorsPerBlock};
      MarkRunsInBitmap(*m_pBitmap, geometry, CollectRuns(file->GetDataRunList()));
    }
  }
  return m_pInner->AddNode(node, type);
}

int CHFSPlusDirectoryTreeBuilder::AddSearcherInfo(_tagSearcherType type, long long rootId) {
  return m_pInner != nullptr ? m_pInner->AddSearcherInfo(type, rootId) : 0;
}

void CHFSPlusDirectoryTreeBuilder::FlashBuild(_tagSearcherType type) {
  if (m_pInner != nullptr) m_pInner->FlashBuild(type);
}

void CHFSPlusDirectoryTreeBuilder::Release() {}

void CHFSPlusDirectoryTreeBuilder::SetPartitonDevice(CSearchedPartitionInfo* partition, IStorageDevice* device) {
  if (m_pInner != nullptr) m_pInner->SetPartitonDevice(partition, device);
}
