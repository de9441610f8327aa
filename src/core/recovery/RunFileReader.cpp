#include "core/recovery/RunFileReader.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "core/device/StorageDevice.h"
#include "core/model/FileNode.h"
#include "core/model/SearchedPartitionInfo.h"
#include "core/recovery/ResidentData.h"
#include "core/recovery/SectorSalvage.h"
#include "core/util/Log.h"

namespace {

constexpr long long kMaxClusterSize = 256LL * 1024 * 1024;
constexpr std::size_t kBounceBytes = 1024 * 1024;
constexpr std::size_t kResidentClusters = 8;

}  // namespace

CFileReader::CFileReader(const CFileReader& other)
    : IFileReader(),
      m_pDataRunList(other.m_pDataRunList),
      m_pDevice(other.m_pDevice),
      m_pNode(other.m_pNode),
      m_iClusterSize(other.m_iClusterSize),
      m_iSectorsPerCluster(other.m_iSectorsPerCluster),
      m_llFileSize(other.m_llFileSize),
      m_llClusterBaseSector(other.m_llClusterBaseSector),
      m_iSectorSize(other.m_iSectorSize),
      m_bResident(other.m_bResident),
      m_runs(other.m_runs) {}

int CFileReader::Open(IStorageDevice* device, CFileNode* node, const CSearchedPartitionInfo* partition) {
  if (device == nullptr || node == nullptr || partition == nullptr) {
    CatchExeception::WriteLog("%s %d\r\n", "CFileReader::Open", __LINE__);
    return 0;
  }
  const int deviceSectorSize = device->GetSectorSize();
  const int sectorSize = deviceSectorSize > 0 ? deviceSectorSize : 512;
  const long long spc = partition->m_iSectorsPerCluster;
  const long long clusterSize = spc * sectorSize;
  if (spc <= 0 || clusterSize <= 0 || clusterSize > kMaxClusterSize) {
    CatchExeception::WriteLog("%s %d\r\n", "CFileReader::Open", __LINE__);
    return 0;
  }
  const long long fileSize = node->GetFileSize();
  IDataRunList* list = node->GetDataRunList();
  if (fileSize <= 0 || list == nullptr) {
    CatchExeception::WriteLog("%s %d\r\n", "CFileReader::Open", __LINE__);
    return 0;
  }

  // A file never holds more than its device: a larger size is a damaged
  // record, and reading it whole would write without end.
  const long long deviceSectors = device->GetTotalSectors();
  long long deviceBytes = 0;
  long long readSize = fileSize;
  if (node->IsCompressed() == 0 && deviceSectors > 0 &&
      !__builtin_mul_overflow(deviceSectors, static_cast<long long>(sectorSize), &deviceBytes) &&
      fileSize > deviceBytes) {
    const char* name = node->GetFileName();
    CatchExeception::WriteLog("%s: %s claims %lld bytes, more than its device holds (%lld): cut to the device\n",
                              "CFileReader::Open", name != nullptr ? name : "", fileSize, deviceBytes);
    node->MarkDamaged();
    readSize = deviceBytes;
  }

  m_pDataRunList = list;
  m_pDevice = device;
  m_pNode = node;
  m_iSectorSize = sectorSize;
  m_iSectorsPerCluster = static_cast<int>(spc);
  m_iClusterSize = static_cast<int>(clusterSize);
  m_llFileSize = readSize;
  m_llClusterBaseSector = partition->m_llClusterBaseSector;
  m_bResident = list->IsResident() != 0;
  m_runs.clear();
  if (m_bResident) return 1;

  long long offset = 0;
  // Every run is kept: the unallocated runs past the data tell how the last
  // unit of a compressed file is stored.
  for (const DataRun* run = list->GetFirst(); run != nullptr; run = list->GetNext()) {
    if (run->length <= 0) continue;
    long long bytes = 0;
    if (__builtin_mul_overflow(run->length, clusterSize, &bytes) || bytes > LLONG_MAX - offset) {
      bytes = LLONG_MAX - offset;
    }
    m_runs.push_back({run->start, run->length, offset});
    offset += bytes;
  }
  return 1;
}

IFileReader* CFileReader::Clone() { return new CFileReader(*this); }

long long CFileReader::GetDataSize() { return m_pNode == nullptr ? 0 : m_llFileSize; }

int CFileReader::IsCompressFile() { return m_pNode == nullptr ? 0 : m_pNode->IsCompressed(); }

long long CFileReader::ReadClusterBytes(long long lcn, long long offset, std::uint8_t* dst, std::size_t n) {
  const long long sectorSize = m_iSectorSize;
  const auto sectorBytes = static_cast<std::size_t>(m_iSectorSize);
  long long sector = 0;
  if (lcn < 0 || offset < 0 || __builtin_mul_overflow(lcn, static_cast<long long>(m_iSectorsPerCluster), &sector) ||
      __builtin_add_overflow(sector, m_llClusterBaseSector, &sector) ||
      __builtin_add_overflow(sector, offset / sectorSize, &sector)) {
    std::memset(dst, 0, n);
    return static_cast<long long>((n + sectorBytes - 1) / sectorBytes);
  }
  std::size_t skip = static_cast<std::size_t>(offset % sectorSize);
  // As large as this read needs, up to kBounceBytes: most found files are
  // small, and a reader serves one file.
  const std::size_t need =
      std::min(std::max(kBounceBytes, sectorBytes), (skip + n + sectorBytes - 1) / sectorBytes * sectorBytes);
  if (m_bounce.size() < need) m_bounce.resize(need);
  const std::size_t maxSectors = m_bounce.size() / sectorBytes;
  long long unreadable = 0;
  while (n > 0) {
    const std::size_t wanted = (skip + n + sectorBytes - 1) / sectorBytes;
    const std::size_t count = std::min(wanted, maxSectors);
    unreadable +=
        ReadSectorsSalvaging(*m_pDevice, m_bounce.data(), sector, static_cast<long long>(count), m_iSectorSize);
    const std::size_t take = std::min(n, count * sectorBytes - skip);
    std::memcpy(dst, m_bounce.data() + skip, take);
    dst += take;
    n -= take;
    sector += static_cast<long long>(count);
    skip = 0;
  }
  return unreadable;
}

int CFileReader::ReadData(long long pos, char* buf, unsigned len, int* err) {
  if (err != nullptr) *err = 0;
  if (m_pNode == nullptr || buf == nullptr || pos < 0 || pos >= m_llFileSize) {
    CatchExeception::WriteLog("%s %d\r\n", "CFileReader::Read", __LINE__);
    if (err != nullptr) *err = -1;
    return 0;
  }
  const long long wanted = std::min<long long>({static_cast<long long>(len), m_llFileSize - pos, INT_MAX});
  if (m_pDataRunList == nullptr) {
    CatchExeception::WriteLog("%s %d\r\n", "CFileReader::Read", __LINE__);
    if (err != nullptr) *err = -1;
    return 0;
  }
  if (m_bResident) {
    const int got = ReadResidentData(pos, buf, static_cast<unsigned>(wanted));
    if (got == 0 && err != nullptr) *err = -1;
    return got;
  }

  auto* out = reinterpret_cast<std::uint8_t*>(buf);
  std::memset(out, 0, static_cast<std::size_t>(wanted));
  long long unreadable = 0;
  long long done = 0;
  auto it = std::upper_bound(m_runs.begin(), m_runs.end(), pos,
                             [](long long p, const RunSpan& r) { return p < r.fileOffset; });
  if (it != m_runs.begin()) --it;
  for (; it != m_runs.end() && done < wanted; ++it) {
    const long long at = pos + done;
    if (at < it->fileOffset) break;  // runs never leave gaps; stop to be safe
    long long runBytes = 0;
    if (__builtin_mul_overflow(it->clusters, static_cast<long long>(m_iClusterSize), &runBytes)) runBytes = LLONG_MAX;
    const long long inRun = at - it->fileOffset;
    if (inRun >= runBytes) continue;
    const long long take = std::min(wanted - done, runBytes - inRun);
    if (it->start >= 0) {
      unreadable += ReadClusterBytes(it->start, inRun, out + done, static_cast<std::size_t>(take));
    }
    done += take;
  }
  if (done < wanted) {
    // The runs end before the file size: what they do not cover stays zeros.
    unreadable += (wanted - done + m_iSectorSize - 1) / m_iSectorSize;
  }
  if (unreadable > 0) {
    CatchExeception::WriteLog("%s %d\r\n", "CFileReader::Read", __LINE__);
    if (err != nullptr) *err = static_cast<int>(std::min<long long>(unreadable, INT_MAX));
  }
  return static_cast<int>(wanted);
}

int CFileReader::ReadResidentData(long long pos, char* buf, unsigned len) {
  ResidentDataReader reader = resident_data::Get();
  if (reader == nullptr || m_pNode == nullptr || m_pDevice == nullptr) return 0;
  std::vector<std::uint8_t> stream;
  const std::size_t capacity = kResidentClusters * static_cast<std::size_t>(m_iClusterSize);
  if (!reader(*m_pNode, *m_pDevice, capacity, stream)) return 0;
  if (stream.size() > capacity) stream.resize(capacity);
  if (pos >= static_cast<long long>(stream.size())) return 0;
  const std::size_t n = std::min<std::size_t>(len, stream.size() - static_cast<std::size_t>(pos));
  std::memcpy(buf, stream.data() + pos, n);
  return static_cast<int>(n);
}
