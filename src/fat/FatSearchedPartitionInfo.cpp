#include "fat/FatSearchedPartitionInfo.h"

CFATSearchedPartitionInfo* CFATSearchedPartitionInfo::Clone() const {
  auto* copy = new CFATSearchedPartitionInfo(static_cast<std::uint32_t>(m_iSectorSize));
  copy->m_llClusterBaseSector = m_llClusterBaseSector;
  copy->m_llStartSector = m_llStartSector;
  copy->SetTotalSectors(GetTotalSectors());
  copy->m_iFileSystem = m_iFileSystem;
  copy->m_iSectorsPerCluster = m_iSectorsPerCluster;
  copy->m_u16PartitionIndex = m_u16PartitionIndex;
  copy->m_reservedSectors = m_reservedSectors;
  copy->m_sectorsPerFat = m_sectorsPerFat;
  copy->m_totalClusters = m_totalClusters;
  copy->m_rootInfo = m_rootInfo;
  copy->m_flags = m_flags;
  copy->m_dScore = m_dScore;
  return copy;
}
