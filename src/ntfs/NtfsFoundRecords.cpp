#include "ntfs/NtfsFoundRecords.h"

#include "ntfs/FileRecordLayout.h"

namespace {

using Attr = CNTFSFileRecordAttribute;

// The folder number the first key of $INDEX_ROOT names as its parent, -1
// when the root holds no key.
long long FolderNumberFromIndexRoot(const CNTFSFileRecord& record) {
  const ByteView root = record.FindAttibute(ntfsrec::kIndexRoot, 0);
  if (root.Size() == 0 || !Attr::IsResident(root)) return -1;
  const ByteView value = Attr::ResidentValue(root);
  constexpr std::size_t kNodeHeader = 16;
  if (!value.Has(kNodeHeader, 16)) return -1;
  const std::size_t entry = kNodeHeader + value.U32Le(kNodeHeader);
  if (!value.Has(entry, 0x18) || (value.U16Le(entry + 0x0C) & 0x0002) != 0) return -1;
  if (value.U16Le(entry + 0x0A) < 8) return -1;
  return static_cast<long long>(value.U64Le(entry + 0x10) & ntfsrec::kReferenceMask);
}

}  // namespace

long long ClusterBytesOfAttribute(const ByteView& a) {
  if (a.Size() == 0 || Attr::IsResident(a)) return 0;
  CNTFSDataRunList runs;
  if (!runs.InitFromBuffer(Attr::DataRunsBuffer(a))) return 0;
  const long long clusters = runs.GetTotalClusters();
  const long long allocated = Attr::GetAllocSizeofAttribute(a);
  if (clusters <= 0 || allocated <= 0 || allocated % clusters != 0) return 0;
  const long long bytes = allocated / clusters;
  if (bytes < 512 || bytes > kMaxClusterBytes || (bytes & (bytes - 1)) != 0) return 0;
  return bytes;
}

bool AddUnnamedDataRuns(const CNTFSFileRecord& record, CNTFSDataRunList& runs) {
  const ByteView d = record.FindAttibute(ntfsrec::kData, 0);
  if (d.Size() == 0 || Attr::IsResident(d) || Attr::IsNamed(d)) return false;
  return runs.AddDataRunsfromBuffer(Attr::DataRunsBuffer(d), Attr::GetStartVCN(d));
}

bool CMetaFileInfo::InitFromBuffer(const CNTFSFileRecord& record, long long byteAddress, int sectorSize,
                                   bool needClusterSize) {
  if (!record.IsValid() || byteAddress < 0 || sectorSize <= 0) return false;
  m_iSectorSize = sectorSize;
  const long long clusterBytes = ClusterBytesOfAttribute(record.FindAttibute(ntfsrec::kData, 0));
  m_iSectorsPerCluster =
      clusterBytes >= sectorSize && clusterBytes % sectorSize == 0 ? static_cast<int>(clusterBytes / sectorSize) : 0;
  if (needClusterSize && m_iSectorsPerCluster == 0) return false;
  m_runs.ClearDataRunList();
  if (!AddUnnamedDataRuns(record, m_runs) || m_runs.IsEmpty()) return false;
  m_llByte = byteAddress;
  m_u64Lsn = record.GetLogFileSequenceNumber();
  m_iRecordBytes = static_cast<int>(record.GetLength());
  return true;
}

std::unique_ptr<CMFTMirrInfo> CMFTMirrInfo::Build(const CNTFSFileRecord& record, long long byteAddress,
                                                  int sectorSize) {
  auto info = std::make_unique<CMFTMirrInfo>();
  if (!info->InitFromBuffer(record, byteAddress, sectorSize, true)) return nullptr;
  return info;
}

std::unique_ptr<CMFTInfo> CMFTInfo::Build(const CNTFSFileRecord& record, long long byteAddress, int sectorSize) {
  auto info = std::make_unique<CMFTInfo>();
  if (!info->InitFromBuffer(record, byteAddress, sectorSize, true) || info->GetFirstClusterNO() < 0) return nullptr;
  return info;
}

std::unique_ptr<CMFTInfo> CMFTInfo::FromCopy(const CMFTInfo& copy, long long byteAddress) {
  auto info = std::make_unique<CMFTInfo>(copy);
  info->m_llByte = byteAddress;
  return info;
}

bool CMFTInfo::LiesAtItsData(long long clusterBase, int sectorsPerCluster) const {
  const auto first = Geometry(clusterBase, sectorsPerCluster).ClusterSector(GetFirstClusterNO());
  return first && *first * m_iSectorSize == m_llByte;
}

MftGeometry CMFTInfo::Geometry(long long clusterBase, int sectorsPerCluster) const {
  return MftGeometry{clusterBase, sectorsPerCluster, m_iSectorSize, m_iRecordBytes, &m_runs};
}

bool CBitmapFileInfo::InitFromBuffer(const CNTFSFileRecord& record) {
  if (!record.IsValid()) return false;
  const ByteView d = record.FindAttibute(ntfsrec::kData, 0);
  if (d.Size() == 0 || Attr::IsResident(d)) return false;
  CNTFSDataRunList runs;
  if (!runs.InitFromBuffer(Attr::DataRunsBuffer(d)) || runs.GetTotalClusters() < 1) return false;
  const long long size = Attr::GetRealSizeOfAttribute(d);
  if (size <= 0) return false;
  m_llSize = size;
  return true;
}

bool CCommonFileRecordPositionInfo::Merge(long long byte, int recordBytes) {
  if (recordBytes != m_iRecordBytes || byte != m_llFirst + m_llCount * m_iRecordBytes) return false;
  ++m_llCount;
  return true;
}

bool CFolderIndexAllocationInfo::InitFromBuffer(const CNTFSFileRecord& record, long long byteAddress, int sectorSize) {
  if (!record.IsValid() || record.IsExtendFileRecord() || sectorSize <= 0) return false;
  m_llNumber = FolderNumberFromIndexRoot(record);
  const ByteView a = record.FindAttibute(ntfsrec::kIndexAllocation, 0);
  if (a.Size() == 0 || Attr::IsResident(a) || Attr::GetLength(a) == 0) return false;
  if (!m_runs.InitFromBuffer(Attr::DataRunsBuffer(a)) || m_runs.IsEmpty()) return false;
  const long long clusterBytes = ClusterBytesOfAttribute(a);
  if (clusterBytes < sectorSize || clusterBytes % sectorSize != 0) return false;
  m_iSectorsPerCluster = static_cast<int>(clusterBytes / sectorSize);
  m_llByte = byteAddress;
  m_u64Lsn = record.GetLogFileSequenceNumber();
  if (m_llNumber < 0 && record.HasXPNumberOfthisMFTRecord()) m_llNumber = record.GetXPNumberOfthisMFTRecord();
  return m_llNumber >= 0 && m_llNumber != 5;
}
