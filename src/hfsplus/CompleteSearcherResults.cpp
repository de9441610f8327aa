// The end of the complete scan: each candidate's final place and size, and
// the partition records handed to the recovery writer.

#include <algorithm>
#include <cstdio>
#include <new>

#include "hfsplus/CompleteSearcher.h"

void CHFSPlusCompleteFileSystemSearchController::EndSearch(int build) {
  if (build == 0) {
    m_waiting.clear();
    return;
  }
  // Before FlashBuild, while the builder still holds every node it took.
  AttachWaitingNodes();
  if (m_pBuilder != nullptr) m_pBuilder->FlashBuild(kSearcherHfsPlus);
  const auto ss = static_cast<std::uint64_t>(m_iSectorSize);
  for (const auto& c : m_candidates) {
    if (c->filesFound <= 0) continue;
    std::uint32_t blockSize = c->blockSize;
    long long sectors = c->sectorCount;
    if (c->volumeHeader) {
      // The header placed the volume; the journal info block only confirms it.
      blockSize = c->volumeHeader->blockSize;
      sectors = static_cast<long long>(c->volumeHeader->VolumeBytes() / ss);
      if (c->journalInfoBlock) {
        const long long jib =
            c->startSector + static_cast<long long>(std::uint64_t{c->volumeHeader->journalInfoBlock} * blockSize / ss);
        if (jib != c->journalInfoBlockSector) {
          std::printf("ErrorLine:%d Journal info block at 0x%llx does not match the volume start!\n", __LINE__,
                      static_cast<unsigned long long>(c->journalInfoBlockSector));
        }
      }
    } else {
      std::printf("ErrorLine:%d Can't Find Volume Head!\n", __LINE__);
    }
    c->sectorCount = std::max(0LL, std::min(m_llTotalSectors - c->startSector, sectors));
    c->blockSize = blockSize;
  }
  m_pBitmap = nullptr;
}

int CHFSPlusCompleteFileSystemSearchController::GetSearchedPartitionInfo(CSearchedPartitionInfo** out, int capacity) {
  const int count = static_cast<int>(m_candidates.size());
  if (out == nullptr || capacity < count) return count;
  int written = 0;
  for (const auto& c : m_candidates) {
    auto* info = new (std::nothrow) CSearchedPartitionInfo(m_iSectorSize);
    if (info == nullptr) break;
    info->m_u16PartitionIndex = static_cast<std::uint16_t>(c->partitionIndex);
    info->m_llClusterBaseSector = c->startSector;
    info->m_llStartSector = c->startSector;
    info->SetTotalSectors(c->sectorCount);
    info->m_iFileSystem = kFsHfsPlus;
    info->m_iSectorsPerCluster = static_cast<std::int32_t>(c->blockSize / static_cast<std::uint32_t>(m_iSectorSize));
    if (info->m_iSectorsPerCluster == 0) {
      std::printf("Warn:SectorsperCluster calc Error!\n");
      info->m_iSectorsPerCluster = std::max(1, 4096 / m_iSectorSize);
    }
    out[written++] = info;
  }
  return written;
}
