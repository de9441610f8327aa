#include "ntfs/NtfsQuickSearch.h"

#include <algorithm>
#include <cstring>

#include "core/device/StorageDevice.h"
#include "core/tree/DirectoryTreeBuilder.h"
#include "ntfs/FileRecordLayout.h"
#include "ntfs/MetaFileRecord.h"
#include "ntfs/NtfsBootSector.h"
#include "ntfs/MftSweep.h"
#include "ntfs/NtfsFileNode.h"

namespace {
constexpr std::size_t kBootBufferBytes = 4096;
}

CNTFSQuickSearch::CNTFSQuickSearch() {
  m_partition.m_iFileSystem = kFsUnknown;
  m_partition.m_iSectorsPerCluster = 1;
}

IQuickFileSystemSearchController* CreateNTFSQuickSearcher() { return new CNTFSQuickSearch(); }

void CNTFSQuickSearch::Report(int state, std::uint64_t total, std::uint64_t done) {
  if (m_pProgress == nullptr) return;
  _PROGRESS_INFO info;
  std::memset(&info, 0, sizeof info);
  info.state = state;
  info.total = total;
  info.done = done;
  m_pProgress->UpdateProgress(&info);
}

RESULT CNTFSQuickSearch::QuickSearchFiles(IStorageDevice* device, IProgress* progress) {
  if (device == nullptr || progress == nullptr) return QV_RESULT(result::kModuleNtfsQuickSearch, kNtfsQuickBadArgument);
  const int sectorSize = device->GetSectorSize();
  m_partition = CSearchedPartitionInfo(sectorSize);
  m_partition.m_iFileSystem = kFsNtfs;
  m_partition.m_iSectorsPerCluster = 1;
  m_partition.SetTotalSectors(device->GetTotalSectors() - 1);
  m_pDevice = device;
  m_pProgress = progress;

  std::vector<std::uint8_t> sector(
      std::max<std::size_t>(kBootBufferBytes, static_cast<std::size_t>(std::max(sectorSize, 0))), 0);
  CNTFSDBR boot;
  if (sectorSize <= 0 || device->GetTotalSectors() < 3 || device->ReadSector(sector.data(), 0, 1) == 0 ||
      !boot.InitFromBuffer(ByteView(sector.data(), sector.size()))) {
    return QV_RESULT(result::kModuleNtfsQuickSearch, kNtfsQuickBadBootSector);
  }
  const long long clusterBytes = static_cast<long long>(boot.GetClusterSectors()) * boot.GetBytesPerSector();
  const int recordBytes = boot.GetValidFileRecordSize();
  if (recordBytes == 0 || clusterBytes <= 0 || clusterBytes > kMaxClusterBytes || clusterBytes % sectorSize != 0) {
    return QV_RESULT(result::kModuleNtfsQuickSearch, kNtfsQuickBadBootSector);
  }
  m_geometry = MftGeometry{0, static_cast<int>(clusterBytes / sectorSize), sectorSize, recordBytes, &m_mftRuns};
  m_partition.m_iSectorsPerCluster = m_geometry.sectorsPerCluster;
  if (!GetMFTInfo(boot)) return QV_RESULT(result::kModuleNtfsQuickSearch, kNtfsQuickNoMft);

  if (m_pBuilder != nullptr) {
    m_pBuilder->AddSearcherInfo(kSearcherNtfs, 5);
    // Node ids are the records' places in the one $MFT swept: never twice.
    if (auto* builder = dynamic_cast<CDirectoryTreeBuilder*>(m_pBuilder)) builder->SetUniqueIds(kSearcherNtfs);
  }
  if (m_logFile.Init(device, m_geometry)) m_logFile.Analyzer();
  return BuildFileNodeFromMFTFileRecord();
}

bool CNTFSQuickSearch::GetMFTInfo(const CNTFSDBR& boot) {
  return ReadMFTInfoFromFileRecord(boot.GetMFTStartCluster()) ||
         ReadMFTInfoFromFileRecord(boot.GetMFTMirrorStartCluster());
}

bool CNTFSQuickSearch::ReadMFTInfoFromFileRecord(long long cluster) {
  m_mftRuns.ClearDataRunList();
  const auto sector = m_geometry.ClusterSector(cluster);
  if (!sector || *sector >= m_pDevice->GetTotalSectors()) return false;
  const RecordPosition place{*sector, 0};
  std::vector<std::uint8_t> raw;
  if (!ReadBytesAt(*m_pDevice, place, static_cast<std::size_t>(m_geometry.recordBytes), raw)) return false;
  const CNTFSFileRecord record(ByteView(raw.data(), raw.size()));
  if (!CMetaFileRecordTypeAnalyzer::IsValidMFTFileRecord(record)) return false;

  auto addDataRuns = [this](const CNTFSFileRecord& r) {
    for (int i = 0; i < 64; ++i) {
      const ByteView d = r.FindAttibute(ntfsrec::kData, i);
      if (d.Size() == 0) break;
      if (CNTFSFileRecordAttribute::IsNamed(d) || CNTFSFileRecordAttribute::IsResident(d)) continue;
      m_mftRuns.AddDataRunsfromBuffer(CNTFSFileRecordAttribute::DataRunsBuffer(d),
                                      CNTFSFileRecordAttribute::GetStartVCN(d));
    }
  };
  addDataRuns(record);
  if (record.HasAttributeList()) {
    // A fragmented $MFT: the rest of its runs sit in extension records, found
    // through the runs gathered so far.
    ExtendRecordList list = CNTFSMultiFileRecord::GetExtendFileRecordInfoList(record, m_geometry, m_pDevice);
    for (const CAttributeListExtendFileRecordInfo& e : list) {
      if (e.recordNumber == 0) continue;
      const auto at = m_geometry.RecordPlace(e.recordNumber);
      if (!at) continue;
      std::vector<std::uint8_t> ext;
      if (!ReadBytesAt(*m_pDevice, *at, static_cast<std::size_t>(m_geometry.recordBytes), ext)) continue;
      const CNTFSFileRecord extension(ByteView(ext.data(), ext.size()));
      if (extension.IsValid()) addDataRuns(extension);
    }
    m_mftRuns.Sort();
  }
  return !m_mftRuns.IsEmpty() && m_mftRuns.GetLCN(0) >= 0;
}

RESULT CNTFSQuickSearch::BuildFileNodeFromMFTFileRecord() {
  long long totalSectors = 0;
  if (m_pBuilder != nullptr) {
    CMftSweep sweep(*m_pDevice, m_geometry, *m_pBuilder, &m_logFile, m_pProgress, -1);
    sweep.Run(totalSectors);
    m_pBuilder->SetPartitonDevice(&m_partition, m_pDevice);
    m_pBuilder->FlashBuild(kSearcherNtfs);
  }
  Report(kProgressFinished, static_cast<std::uint64_t>(totalSectors), static_cast<std::uint64_t>(totalSectors));
  return result::kSuccess;
}

int CNTFSQuickSearch::GetSearchedPartitionInfo(CSearchedPartitionInfo** out, int capacity) {
  if (capacity <= 0 || out == nullptr) return 0;
  const int sectorSize = m_pDevice != nullptr ? m_pDevice->GetSectorSize() : 512;
  auto* info = new CSearchedPartitionInfo(sectorSize);
  info->m_llStartSector = 0;
  info->m_llClusterBaseSector = 0;
  info->SetTotalSectors(m_pDevice != nullptr ? m_pDevice->GetTotalSectors() : 0);
  info->m_iFileSystem = kFsNtfs;
  info->m_iSectorsPerCluster = m_partition.m_iSectorsPerCluster;
  out[0] = info;
  return 1;
}
