#include "fat/FatBuildChildren.h"

#include <cstring>

#include "core/util/Log.h"
#include "fat/FatDirEntryLayout.h"
#include "fat/FatFilePropertiesBuilder.h"
#include "fat/FatFolderAnalyser.h"
#include "fat/IniFile.h"

namespace {

constexpr std::uint32_t kEndOfChain = 0x0FFFFFF8;

// Sectors from cluster 2 to the partition's end: no cluster lies past them.
std::uint64_t DataAreaSectors(const FatBuildGeometry& g) {
  if (g.dataStart < g.startSector) return g.totalSectors;
  const std::uint64_t ahead = g.dataStart - g.startSector;
  return ahead < g.totalSectors ? g.totalSectors - ahead : 0;
}

}  // namespace

CFATBuildChildren::CFATBuildChildren(const FatBuildGeometry& geometry, FatVisitedClusters& visited,
                                     FatFolderMap& folders)
    : m_geometry(geometry),
      m_visited(visited),
      m_folders(folders),
      m_runs(geometry.fat, geometry.sectorSize, geometry.sectorsPerCluster, DataAreaSectors(geometry)) {
  m_buffer.assign(static_cast<std::size_t>(kExtentSectors + 2) * geometry.sectorSize, 0);
  if (geometry.type == kFatTypeFat32) {
    m_revise = ReadReviseSwitch();
    g_u64PreReadFileCluNum = 0;
  }
}

bool CFATBuildChildren::ReadSectors(std::uint64_t sector, std::uint32_t count, std::uint8_t* out) {
  if (m_geometry.device == nullptr || count == 0) return false;
  const long long total = m_geometry.device->GetTotalSectors();
  if (sector > static_cast<std::uint64_t>(total) || count > static_cast<std::uint64_t>(total) - sector) return false;
  return m_geometry.device->ReadSector(out, static_cast<long long>(sector), count) != 0;
}

int CFATBuildChildren::BuildRoot(FolderQueue& queue, int build) {
  if (build == 0) return 0;
  if (m_geometry.type == kFatTypeFat32) return BuildChildren(nullptr, m_geometry.rootFirstCluster, queue, 1);
  const std::uint32_t sectors = m_geometry.rootSectors;
  if (sectors == 0) return 0;
  std::vector<std::uint8_t> root(static_cast<std::size_t>(sectors) * m_geometry.sectorSize);
  if (!ReadSectors(m_geometry.rootFirstSector, sectors, root.data())) return 0;
  return BuildChildrenFromBuffer(ByteView(root.data(), root.size()), nullptr, queue, 0) == -1 ? 0 : 1;
}

int CFATBuildChildren::BuildChildren(CFATFileNode* folder, std::uint32_t first, FolderQueue& queue, int isRoot) {
  const FatBuildGeometry& g = m_geometry;
  if (g.sectorsPerCluster == 0 || g.sectorsPerCluster > kExtentSectors) return 0;
  const std::size_t clusterBytes = static_cast<std::size_t>(g.sectorsPerCluster) * g.sectorSize;
  std::size_t carry = 0;
  std::uint32_t cur = first;
  while (cur != 0 && cur < kEndOfChain) {
    if (!g.ClusterInRange(cur)) break;
    if (m_visited.count(cur) != 0) return 0;
    // One extent: consecutive clusters of the chain, up to the sector cap.
    std::uint32_t count = 1;
    std::uint32_t last = cur;
    std::uint32_t next = g.fat != nullptr ? g.fat->GetNextCluster(cur) : 0;
    while (next == last + 1 && (count + 1) * g.sectorsPerCluster <= kExtentSectors && g.ClusterInRange(next) &&
           m_visited.count(next) == 0) {
      ++count;
      last = next;
      next = g.fat->GetNextCluster(last);
    }
    for (std::uint32_t c = cur; c <= last; ++c) m_visited.insert(c);

    std::uint8_t* at = m_buffer.data() + carry;
    const std::size_t extentBytes = count * clusterBytes;
    if (!ReadSectors(g.ConvertClusterNumToSector(cur), count * g.sectorsPerCluster, at)) {
      // An unreadable extent is not parsed: a cut name run cannot continue.
      if (cur == first) return 0;
      carry = 0;
      cur = next;
      continue;
    }
    if (cur == first) {
      const ByteView extent(at, extentBytes);
      CTempFATDirEntry dot;
      CTempFATDirEntry dotDot;
      dot.InitFromBuffer(extent, 0);
      dotDot.InitFromBuffer(extent, fatdir::kEntryBytes);
      const bool opensLikeSubFolder =
          CFATFolderAnalyser::IsCurDirFileName(dot) && CFATFolderAnalyser::IsParentDirFileName(dotDot);
      if (isRoot == 0 && !opensLikeSubFolder) return 0;
      if (isRoot != 0 &&
          (CFATFolderAnalyser::IsCurDirFileName(dot) || CFATFolderAnalyser::IsParentDirFileName(dotDot))) {
        return 0;
      }
    }
    const std::size_t length = carry + extentBytes;
    const long long r = BuildChildrenFromBuffer(ByteView(m_buffer.data(), length), folder, queue, 0);
    if (r < 0) return 1;
    const std::size_t tail = length - static_cast<std::size_t>(r);
    if (tail > 0 && tail < kMaxCarryBytes) {
      std::memmove(m_buffer.data(), m_buffer.data() + r, tail);
      carry = tail;
    } else {
      carry = 0;
    }
    cur = next;
  }
  return 1;
}

long long CFATBuildChildren::BuildChildrenFromBuffer(const ByteView& buffer, CFATFileNode* folder, FolderQueue& queue,
                                                     int stopAtInvalid) {
  std::uint32_t parent = 0;
  bool folderDeleted = false;
  bool madeUp = false;
  if (folder != nullptr) {
    CFATFileProperties* props = folder->GetFileProperties();
    if (props == nullptr) return -1;
    parent = static_cast<std::uint32_t>(props->GetFirstCluster());
    folderDeleted = (props->GetState() & CFATFileProperties::kStateDeleted) != 0;
    constexpr unsigned kMadeUp = CFATFileProperties::kStateDeleted | CFATFileProperties::kStateMadeUp;
    madeUp = (props->GetState() & kMadeUp) == kMadeUp;
  }
  const unsigned long long base = madeUp ? 0 : parent;
  unsigned long long running = base;
  long long runStart = -1;
  int dots = 0;
  std::size_t off = 0;
  for (; buffer.Has(off, fatdir::kEntryBytes); off += fatdir::kEntryBytes) {
    CTempFATDirEntry entry;
    if (!entry.InitFromBuffer(buffer, off)) {
      runStart = -1;
      if (stopAtInvalid != 0) break;
      continue;
    }
    if (entry.IsLongFileNameEntry()) {
      if (runStart < 0) runStart = static_cast<long long>(off);
      continue;
    }
    if (entry.IsVolumeLabel()) {
      runStart = -1;
      continue;
    }
    if (entry.FirstByte() == '.') {
      runStart = -1;
      if (++dots > 2) return -1;
      continue;
    }
    const std::uint64_t cluster = entry.GetFirstClusterNO();
    if (cluster >= 3 && !m_geometry.ClusterInRange(cluster)) {
      runStart = -1;
      if (stopAtInvalid != 0) break;
      continue;
    }
    if (cluster == parent && parent != 0) {
      runStart = -1;
      continue;
    }
    const std::size_t from = runStart >= 0 ? static_cast<std::size_t>(runStart) : off;
    runStart = -1;
    AddEntryNode(buffer.Sub(from, off + fatdir::kEntryBytes - from), folder, parent, folderDeleted, base, running,
                 madeUp, queue);
  }
  if (runStart >= 0) return runStart;
  return static_cast<long long>(off);
}

// An entry whose size its clusters cannot hold (a size past the
// partition's end): the file is listed with what its runs hold, and logged.
bool CFATBuildChildren::CutToRuns(CFATFileProperties& props, IDataRunList& runs) const {
  const std::uint64_t clusterBytes = static_cast<std::uint64_t>(m_geometry.sectorSize) * m_geometry.sectorsPerCluster;
  std::uint64_t held = 0;
  for (const DataRun* r = runs.GetFirst(); r != nullptr; r = runs.GetNext()) {
    if (r->length > 0) held += static_cast<std::uint64_t>(r->length) * clusterBytes;
  }
  const long long claimed = props.GetFileSize();
  if (claimed <= 0 || static_cast<std::uint64_t>(claimed) <= held) return false;
  CatchExeception::WriteLog("FAT: %s claims %lld bytes; its clusters hold %llu, the size is cut to them\n",
                            props.GetFileName() != nullptr ? props.GetFileName() : "", claimed,
                            static_cast<unsigned long long>(held));
  props.SetFileSize(static_cast<long long>(held));
  return true;
}

void CFATBuildChildren::AddEntryNode(const ByteView& run, CFATFileNode* folder, std::uint32_t parent,
                                     bool folderDeleted, unsigned long long base, unsigned long long& running,
                                     bool madeUp, FolderQueue& queue) {
  CFATFileProperties* props = CFATFilePropertiesBuilder::BuildFATFilePropertyFromDirEntryBuffer(run);
  if (props == nullptr) return;
  CTempFATDirEntry entry;
  entry.InitFromBuffer(run, run.Size() - fatdir::kEntryBytes);
  if (folderDeleted) props->SetState(props->GetState() | CFATFileProperties::kStateDeleted);
  props->SetParentFirstCluster(parent);
  props->SetMetadataSector(static_cast<long long>(m_geometry.ConvertClusterNumToSector(parent)));
  const std::uint32_t stored = entry.GetFirstClusterNO();
  ReverseDelFileFirstNum(entry, base, running, *props, madeUp);
  if (entry.GetFirstClusterNO() == parent) entry.SetFirstClusterNO(stored);
  const std::uint32_t cluster = entry.GetFirstClusterNO();
  props->SetFirstCluster(cluster);
  const bool deleted = (props->GetState() & CFATFileProperties::kStateDeleted) != 0;

  IDataRunList* runs = nullptr;
  if (entry.IsDirectory()) {
    // A folder without a cluster would take the root's id.
    if (cluster < 2) {
      CFATFileProperties::Destory(props);
      return;
    }
  } else if (props->GetFileSize() <= 0) {
    props->SetFirstCluster(static_cast<long long>(GetEmptyFileVirtualClusterNumObject().GetVirtualClusterNum()));
  } else {
    runs = m_runs.BuildDataRunList(cluster, props->GetFileSize(), deleted ? 1 : 0);
  }

  auto* node = new CFATFileNode();
  const bool cut = runs != nullptr && CutToRuns(*props, *runs);
  node->SetFileProperties(props);
  node->SetDataRunList(runs);
  if (cut) node->MarkDamaged();
  if (m_geometry.partition != nullptr) node->SetBelongedPartition(m_geometry.partition->m_u16PartitionIndex);
  if (m_geometry.builder == nullptr || m_geometry.builder->AddNode(node, kSearcherFat) == 0) {
    node->Release();
    return;
  }
  if (entry.IsDirectory()) {
    m_folders.emplace(cluster, node);
    queue.push_back(node);
  }
}
