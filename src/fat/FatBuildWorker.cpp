#include "fat/FatBuildWorker.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "fat/FatBootSector.h"
#include "fat/FatTable.h"

namespace {

int g_tempFolderCounter = 0;

}  // namespace

void CFATBuildWorker::ResetTempFolderCounter() { g_tempFolderCounter = 0; }

bool CFATBuildWorker::IsFullValidDBR(const ByteView& sector, long long start, IStorageDevice* device) {
  if (device == nullptr || start < 0) return false;
  const int sectorSize = device->GetSectorSize();
  if (sectorSize < 512) return false;
  const CTempFATDBR dbr(sector, static_cast<std::uint32_t>(sectorSize));
  if (!dbr.IsValidDBR()) return false;
  const std::uint64_t fats = static_cast<std::uint64_t>(dbr.GetSectorsPerFat()) * dbr.GetNumberOfFat();
  if (dbr.GetTotalSectors() < fats) return false;
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(sectorSize));
  const long long firstFat = start + dbr.GetReservedSector();
  const long long fatSectors[2] = {firstFat, firstFat + dbr.GetSectorsPerFat()};
  for (long long at : fatSectors) {
    if (at >= device->GetTotalSectors() || device->ReadSector(buffer.data(), at, 1) == 0) continue;
    enumFILE_SYSTEM_TYPE type = kFatTypeNone;
    if (CFATTableAnalyser::IsValidFATTableFirstSector(ByteView(buffer.data(), buffer.size()),
                                                      static_cast<std::uint32_t>(sectorSize), type)) {
      return true;
    }
  }
  return false;
}

void CFATBuildWorker::SendProgress(std::uint64_t done) {
  if (m_geometry.progress == nullptr) return;
  _PROGRESS_INFO info;
  std::memset(&info, 0, sizeof info);
  info.state = kProgressRunning;
  info.total = 100;
  info.done = done;
  m_geometry.progress->UpdateProgress(&info);
}

RESULT CFATBuildWorker::QuickBuildDirectoryTree(int build) {
  GetEmptyFileVirtualClusterNumObject().ResetVirtualClusterNum();
  CFATBuildChildren children(m_geometry, m_visited, m_folders);
  children.SetQuickScan(false);
  CFATBuildChildren::FolderQueue queue;
  RESULT result = 0;
  if (children.BuildRoot(queue, build) == 0) {
    result = QV_RESULT(result::kModuleFatSearch, 1);
  } else {
    std::uint64_t taken = 0;
    std::uint64_t highest = 0;
    while (!queue.empty()) {
      if (m_geometry.progress != nullptr) {
        if (m_geometry.progress->Continued() == 0) {
          result = QV_RESULT(result::kModuleFatSearch, 0xD);
          break;
        }
        const std::uint64_t count = taken + 1;
        const std::uint64_t percent = count * 100 / (count + queue.size());
        if (percent > highest) {
          highest = percent;
          SendProgress(percent);
        }
      }
      CFATFileNode* folder = queue.front();
      queue.pop_front();
      ++taken;
      if (folder->GetFirstChild() != nullptr || folder->GetFileProperties() == nullptr) continue;
      children.BuildChildren(folder, static_cast<std::uint32_t>(folder->GetFileProperties()->GetFirstCluster()), queue,
                             0);
    }
  }
  SendProgress(100);
  return result;
}

CFATFileNode* CFATBuildWorker::CreateTempFileNode(std::uint32_t cluster, std::uint32_t parentCluster) {
  char name[32];
  std::snprintf(name, sizeof name, "DIR%d", g_tempFolderCounter++);
  CFATFileProperties* props = CFATFileProperties::Create();
  props->SetFileName(name);
  props->SetAttribute(0x10);
  props->SetState(CFATFileProperties::kStateDeleted | CFATFileProperties::kStateMadeUp);
  props->SetFirstCluster(cluster);
  props->SetParentFirstCluster(parentCluster);
  props->SetMetadataSector(static_cast<long long>(m_geometry.ConvertClusterNumToSector(parentCluster)));
  auto* node = new CFATFileNode();
  node->SetFileProperties(props);
  return node;
}

std::pair<FolderSectorSet::const_iterator, FolderSectorSet::const_iterator> CFATBuildWorker::Range(
    const FolderSectorSet& folders, std::uint64_t low) const {
  FIRSTFOLDERSECTOR key;
  key.sector = static_cast<long long>(low);
  const auto first = folders.lower_bound(key);
  key.sector = static_cast<long long>(m_geometry.startSector + m_geometry.totalSectors);
  const auto last = folders.upper_bound(key);
  if (first == folders.end() || (last != folders.end() && !FIRSTFOLDERSECTORLESS()(*first, *last))) {
    return {folders.end(), folders.end()};
  }
  return {first, last};
}

int CFATBuildWorker::CompleteBuildDirectoryTree(const FolderSectorSet& folders) {
  GetEmptyFileVirtualClusterNumObject().ResetVirtualClusterNum();
  CFATBuildChildren children(m_geometry, m_visited, m_folders);
  children.SetQuickScan(true);
  children.SetFileSectorMap(m_fileSectorMap);
  CFATBuildChildren::FolderQueue queue;
  children.BuildRoot(queue, m_geometry.rootPresent);
  queue.clear();

  std::uint64_t low = m_geometry.dataStart;
  if (m_geometry.type != kFatTypeFat32 && m_geometry.rootPresent == 0) {
    const std::uint64_t back = 0x20000 / m_geometry.sectorSize;
    low = low > back ? low - back : 0;
  }
  const auto [begin, end] = Range(folders, low);
  if (begin == end) return 1;

  std::vector<std::uint8_t> sector(m_geometry.sectorSize);
  for (auto it = begin; it != end; ++it) {
    const FIRSTFOLDERSECTOR& e = *it;
    if (static_cast<std::uint64_t>(e.sector) < m_geometry.dataStart) {
      // A lost FAT12/16 root: its entries hang in the root.
      if (m_geometry.device->ReadSector(sector.data(), e.sector, 1) == 0) continue;
      children.BuildChildrenFromBuffer(ByteView(sector.data(), sector.size()), nullptr, queue, 1);
      queue.clear();
      continue;
    }
    if (e.cluster == kUnknownCluster) continue;
    const std::uint64_t c = m_geometry.ConvertSectorToClusterNum(static_cast<std::uint64_t>(e.sector));
    if (c != e.cluster || !m_geometry.IsFirsectorInCluster(static_cast<std::uint64_t>(e.sector))) continue;
    CFATFileNode* node = nullptr;
    if (const auto known = m_folders.find(e.cluster); known != m_folders.end()) {
      node = known->second;
    } else {
      node = CreateTempFileNode(e.cluster, e.parentCluster);
      if (m_geometry.partition != nullptr) node->SetBelongedPartition(m_geometry.partition->m_u16PartitionIndex);
      if (m_geometry.builder == nullptr || m_geometry.builder->AddNode(node, kSearcherFat) == 0) {
        node->Release();
        continue;
      }
      m_folders.emplace(e.cluster, node);
    }
    children.BuildChildren(node, e.cluster, queue, 0);
    queue.clear();
  }
  return BuildLostNode(folders);
}

int CFATBuildWorker::BuildLostNode(const FolderSectorSet& folders) {
  const auto [begin, end] = Range(folders, m_geometry.dataStart);
  if (begin == end) return 0;
  CFATBuildChildren children(m_geometry, m_visited, m_folders);
  children.SetQuickScan(true);
  children.SetFileSectorMap(m_fileSectorMap);
  CFATBuildChildren::FolderQueue queue;
  const std::size_t clusterBytes = static_cast<std::size_t>(m_geometry.sectorsPerCluster) * m_geometry.sectorSize;
  std::vector<std::uint8_t> cluster(clusterBytes);
  for (auto it = begin; it != end; ++it) {
    const FIRSTFOLDERSECTOR& e = *it;
    if (e.cluster != kUnknownCluster) continue;
    const auto s = static_cast<std::uint64_t>(e.sector);
    if (!m_geometry.IsFirsectorInCluster(s)) continue;
    const std::uint64_t c = m_geometry.ConvertSectorToClusterNum(s);
    if (c > 0xFFFFFFFFull || m_visited.count(static_cast<std::uint32_t>(c)) != 0) continue;
    if (s + m_geometry.sectorsPerCluster > static_cast<std::uint64_t>(m_geometry.device->GetTotalSectors())) continue;
    if (m_geometry.device->ReadSector(cluster.data(), e.sector, m_geometry.sectorsPerCluster) == 0) continue;
    CFATFileNode* folder = CreateTempFileNode(kUnknownCluster, e.parentCluster);
    children.BuildChildrenFromBuffer(ByteView(cluster.data(), cluster.size()), folder, queue, 1);
    queue.clear();
    folder->Release();
  }
  return 1;
}
