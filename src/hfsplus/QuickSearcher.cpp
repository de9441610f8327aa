#include "hfsplus/QuickSearcher.h"

#include <new>

#include "core/device/StorageDevice.h"
#include "hfsplus/HfsPlusPrivateData.h"
#include "hfsplus/HfsPlusResult.h"
#include "hfsplus/HfsPlusVolume.h"
#include "hfsplus/QuickSearchProgress.h"

CHFSPlusQuickFileSystemSearchController::CHFSPlusQuickFileSystemSearchController() = default;
CHFSPlusQuickFileSystemSearchController::~CHFSPlusQuickFileSystemSearchController() = default;

IQuickFileSystemSearchController* CreateHFSPlusQuickSearcher() {
  return new (std::nothrow) CHFSPlusQuickFileSystemSearchController();
}

CHFSPlusVolume* CHFSPlusQuickFileSystemSearchController::GetVolume() const {
  return m_pPrivateData ? m_pPrivateData->GetVolume() : nullptr;
}

RESULT CHFSPlusQuickFileSystemSearchController::QuickSearchFiles(IStorageDevice* device, IProgress* sink) {
  m_pDevice = device;
  m_pSink = sink;
  CHFSPlusQuickFileSystemSearchProgress progress(sink, false);
  if (device == nullptr) return HFS_FAIL(kHfsBadArgument);
  if (m_pBuilder == nullptr) return HFS_FAIL(kHfsNotInitialised);
  auto volume = std::make_unique<CHFSPlusVolume>(device, false);
  const RESULT opened = volume->GetLastResult();
  if (result::Failed(opened)) return opened;
  m_u32BlockSize = volume->GetVolumeHeader()->blockSize;
  m_pPrivateData = std::make_unique<CHFSPlusPrivateData>(std::move(volume));
  m_pBuilder->AddSearcherInfo(kSearcherHfsPlus, 2);
  (void)m_pPrivateData->GetVolume()->QuickSearchFiles(m_pBuilder, &progress);
  m_pBuilder->FlashBuild(kSearcherHfsPlus);
  return opened;
}

int CHFSPlusQuickFileSystemSearchController::GetSearchedPartitionInfo(CSearchedPartitionInfo** out, int capacity) {
  if (capacity <= 0 || out == nullptr) return 1;
  const int ss = m_pDevice != nullptr && m_pDevice->GetSectorSize() > 0 ? m_pDevice->GetSectorSize() : 512;
  auto* info = new (std::nothrow) CSearchedPartitionInfo(ss);
  if (info == nullptr) return 0;
  info->m_u16PartitionIndex = 0;
  info->m_iFileSystem = kFsHfsPlus;
  info->m_llStartSector = 0;
  info->m_llClusterBaseSector = 0;
  info->SetTotalSectors(m_pDevice != nullptr ? m_pDevice->GetTotalSectors() : 0);
  info->m_iSectorsPerCluster = static_cast<std::int32_t>(m_u32BlockSize / static_cast<std::uint32_t>(ss));
  out[0] = info;
  return 1;
}
