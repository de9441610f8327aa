#include "ntfs/MftSweep.h"

#include <algorithm>
#include <cstring>

#include "core/device/StorageDevice.h"
#include "ntfs/MetaFileRecord.h"
#include "ntfs/NtfsFileNode.h"

long long PartitionNodeId(long long recordNumber, int partitionIndex) {
  if (partitionIndex <= 0 || recordNumber < 0 || recordNumber == 5) return recordNumber;
  return recordNumber + (static_cast<long long>(partitionIndex) << kPartitionIdShift);
}

CMftSweep::CMftSweep(IStorageDevice& device, const MftGeometry& geometry, IDirecotryTreeBuilder& builder,
                     CFindFileFromLogFile* logFile, IProgress* progress, int partitionIndex)
    : m_device(device),
      m_geometry(geometry),
      m_builder(builder),
      m_pLogFile(logFile),
      m_pProgress(progress),
      m_iPartition(partitionIndex) {}

void CMftSweep::Report(std::uint64_t total, std::uint64_t done) {
  if (m_pProgress == nullptr) return;
  _PROGRESS_INFO info;
  std::memset(&info, 0, sizeof info);
  info.state = kProgressRunning;
  info.total = total;
  info.done = done;
  m_pProgress->UpdateProgress(&info);
}

bool CMftSweep::Run(long long& totalSectors) {
  if (m_geometry.mftRuns == nullptr) return true;
  const int sectorSize = m_geometry.sectorSize;
  const long long spc = m_geometry.sectorsPerCluster;
  const auto recordBytes = static_cast<std::size_t>(m_geometry.recordBytes);
  totalSectors = 0;
  for (const CDataRun& r : m_geometry.mftRuns->Runs()) {
    long long s = 0;
    if (!__builtin_mul_overflow(r.length, spc, &s)) totalSectors += s;
  }
  const long long deviceSectors = m_device.GetTotalSectors();
  Report(static_cast<std::uint64_t>(totalSectors), 0);

  std::vector<std::uint8_t> batch(static_cast<std::size_t>(kBatchSectors) * static_cast<std::size_t>(sectorSize));
  std::vector<std::uint8_t> pending;  // a record cut by the end of a run
  RecordPosition pendingPlace;
  long long mftBytes = 0;  // bytes of $MFT before the batch
  long long done = 0;
  bool cancelled = false;
  for (const CDataRun& r : m_geometry.mftRuns->Runs()) {
    if (cancelled) break;
    long long runSectors = 0;
    if (r.lcn < 0 || __builtin_mul_overflow(r.length, spc, &runSectors)) {
      mftBytes += r.length * m_geometry.ClusterBytes();
      pending.clear();
      continue;
    }
    const long long first = *m_geometry.ClusterSector(r.lcn);
    for (long long at = 0; at < runSectors;) {
      if (m_pProgress != nullptr && m_pProgress->Continued() == 0) {
        cancelled = true;
        break;
      }
      const long long count = std::min<long long>(kBatchSectors, runSectors - at);
      const std::size_t bytes = static_cast<std::size_t>(count) * static_cast<std::size_t>(sectorSize);
      const long long sector = first + at;
      if (sector < 0 || sector + count > deviceSectors || m_device.ReadSector(batch.data(), sector, count) == 0) {
        // An unreadable piece holds no record.
        std::fill(batch.begin(), batch.begin() + static_cast<long>(bytes), 0);
      }
      std::size_t pos = 0;
      if (!pending.empty()) {
        const std::size_t take = std::min(recordBytes - pending.size(), bytes);
        pending.insert(pending.end(), batch.begin(), batch.begin() + static_cast<long>(take));
        pos = take;
        if (pending.size() == recordBytes) {
          BuildFileNodeFromRecord(
              ByteView(pending.data(), pending.size()),
              (mftBytes - static_cast<long long>(recordBytes - take)) / static_cast<long long>(recordBytes),
              pendingPlace);
          pending.clear();
        }
      }
      for (; pos + recordBytes <= bytes; pos += recordBytes) {
        const RecordPosition place{sector + static_cast<long long>(pos) / sectorSize,
                                   static_cast<unsigned>(pos % static_cast<std::size_t>(sectorSize))};
        const long long number = (mftBytes + static_cast<long long>(pos)) / static_cast<long long>(recordBytes);
        BuildFileNodeFromRecord(ByteView(batch.data() + pos, recordBytes), number, place);
      }
      if (pos < bytes) {
        pendingPlace = RecordPosition{sector + static_cast<long long>(pos) / sectorSize,
                                      static_cast<unsigned>(pos % static_cast<std::size_t>(sectorSize))};
        pending.assign(batch.begin() + static_cast<long>(pos), batch.begin() + static_cast<long>(bytes));
      }
      mftBytes += static_cast<long long>(bytes);
      at += count;
      done += count;
      Report(static_cast<std::uint64_t>(totalSectors), static_cast<std::uint64_t>(done));
    }
  }
  return !cancelled;
}

void CMftSweep::BuildFileNodeFromRecord(const ByteView& bytes, long long number, const RecordPosition& place) {
  if (CIsMetaFileRecord::IsMetaFileRecord(bytes)) return;
  const CNTFSFileRecord record(bytes);
  if (!record.IsValid() || record.IsExtendFileRecord()) return;
  ExtendRecordList extensions = CNTFSMultiFileRecord::InitExtendFileRecord(record, place, m_geometry, &m_device);
  const CNTFSMultiFileRecord multi(record, place, &m_device, extensions, m_geometry.recordBytes);
  long long parent = ParentFromFileNames(multi);
  long long reported = -1;
  auto props = CNTFSFilePropertiesBuilder::BuildFileProperties(place, multi, m_geometry.ClusterBytes(), reported);
  if (!props) return;
  if (parent == -1 && reported != -1) parent = reported;
  props->SetFileRecordIndex(number);
  if (props->GetFileSize() == 0 && !record.IsFolder() && (props->GetState() & kNtfsStateDeleted) != 0) {
    if (m_pLogFile != nullptr) m_pLogFile->ReplaceFileRecordInfo(bytes, *props, reported, extensions);
  }
  CNTFSFilePropertiesBuilder::AdjustFileSizeAccordinttoDataRunsWhenFileSizeLessThanZero(*props,
                                                                                        m_geometry.ClusterBytes());
  props->SetExtendFileRecordInfoList(std::move(extensions));
  auto* node = new CNTFSFileNode();
  node->SetFileProperties(std::move(props));
  node->SetCurrentNodeID(PartitionNodeId(number, m_iPartition));
  node->SetParentNodeID(PartitionNodeId(parent, m_iPartition));
  if (m_iPartition >= 0) node->SetBelongedPartition(static_cast<unsigned short>(m_iPartition));
  if (m_builder.AddNode(node, kSearcherNtfs) == 0) node->Release();
}
