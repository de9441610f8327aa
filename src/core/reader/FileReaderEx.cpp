#include "core/reader/FileReaderEx.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>

#include "core/device/StorageDevice.h"
#include "core/model/FileNode.h"

namespace {
std::atomic<CFileReaderEx::ResidentDataReader> g_residentReader{nullptr};
constexpr int kMaxSectorSize = 64 * 1024;
}  // namespace

void CFileReaderEx::SetResidentDataReader(ResidentDataReader reader) { g_residentReader.store(reader); }

int CFileReaderEx::Open(IStorageDevice* device, CFileNode* node, long long baseSector, int sectorsPerCluster) {
  Close();
  if (device == nullptr || node == nullptr || baseSector < 0) return 0;
  const int sectorSize = device->GetSectorSize();
  if (sectorSize <= 0 || sectorSize > kMaxSectorSize || sectorsPerCluster <= 0) return 0;
  const long long clusterBytes = static_cast<long long>(sectorsPerCluster) * sectorSize;
  if (clusterBytes > kMaxClusterBytes) return 0;
  const long long size = node->GetFileSize();
  if (size <= 0 || node->GetDataRunList() == nullptr) return 0;

  m_llBufferClusters = std::clamp<long long>(kMaxBufferBytes / clusterBytes, 1, kBufferClusters);
  m_buffer.assign(static_cast<std::size_t>(m_llBufferClusters * clusterBytes), 0);
  m_pDevice = device;
  m_pNode = node;
  m_llFileSize = size;
  m_llBaseSector = baseSector;
  m_iSectorsPerCluster = sectorsPerCluster;
  m_iSectorSize = sectorSize;
  m_llClusterBytes = clusterBytes;
  return 1;
}

void CFileReaderEx::Close() {
  std::vector<unsigned char>().swap(m_buffer);
  m_pDevice = nullptr;
  m_pNode = nullptr;
  m_llFileSize = 0;
  m_llClusterBytes = 0;
}

int CFileReaderEx::Read(long long offset, unsigned char* dst, int len, int& got) {
  got = 0;
  if (m_pDevice == nullptr || m_pNode == nullptr || dst == nullptr || len < 0) return 0;
  if (offset < 0 || offset >= m_llFileSize) return 0;
  const long long wanted = std::min<long long>(len, m_llFileSize - offset);
  IDataRunList* runs = m_pNode->GetDataRunList();
  if (runs == nullptr) return 0;
  if (runs->IsResident() != 0) {
    ResidentDataReader reader = g_residentReader.load();
    if (reader == nullptr) return 0;
    return reader(*m_pDevice, *m_pNode, offset, dst, static_cast<int>(wanted), got);
  }
  return ReadRuns(offset, dst, wanted, got);
}

int CFileReaderEx::ReadRuns(long long offset, unsigned char* dst, long long len, int& got) {
  IDataRunList* runs = m_pNode->GetDataRunList();
  long long pos = offset;
  long long remaining = len;
  long long vcn = 0;
  for (const DataRun* run = runs->GetFirst(); run != nullptr && remaining > 0; run = runs->GetNext()) {
    if (run->length <= 0 || vcn > LLONG_MAX - run->length) break;
    const long long runEnd = vcn + run->length;
    while (remaining > 0) {
      const long long cluster = pos / m_llClusterBytes;
      if (cluster >= runEnd) break;
      if (cluster < vcn) return 1;  // cannot happen with runs in order
      const long long inCluster = pos % m_llClusterBytes;
      const long long needed = (inCluster + remaining + m_llClusterBytes - 1) / m_llClusterBytes;
      const long long count = std::min({runEnd - cluster, m_llBufferClusters, needed});
      if (run->start < 0) {
        std::memset(m_buffer.data(), 0, static_cast<std::size_t>(count * m_llClusterBytes));
      } else {
        if (run->start > LLONG_MAX - (cluster - vcn)) return 0;
        if (ReadClusters(run->start + (cluster - vcn), count, m_buffer.data()) == 0) return 0;
      }
      const long long bytes = std::min(count * m_llClusterBytes - inCluster, remaining);
      std::memcpy(dst + (pos - offset), m_buffer.data() + inCluster, static_cast<std::size_t>(bytes));
      pos += bytes;
      remaining -= bytes;
      got += static_cast<int>(bytes);
    }
    vcn = runEnd;
  }
  return 1;
}

int CFileReaderEx::ReadClusters(long long lcn, long long count, unsigned char* out) {
  if (lcn < 0 || lcn > (LLONG_MAX - m_llBaseSector) / m_iSectorsPerCluster) return 0;
  const long long sector = m_llBaseSector + lcn * m_iSectorsPerCluster;
  const long long sectors = count * m_iSectorsPerCluster;
  if (sector > LLONG_MAX - sectors) return 0;
  return m_pDevice->ReadSector(out, sector, sectors) != 0 ? 1 : 0;
}
