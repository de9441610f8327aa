#include "fat/FatCompleteSearcher.h"

#include <algorithm>
#include <memory>

#include "core/cache/StorageDeviceWithCache.h"
#include "fat/FatBootSectorLayout.h"
#include "fat/FatFolderAnalyser.h"
#include "fat/FatQuickSearcher.h"
#include "fat/FatTable.h"

namespace {

constexpr std::uint64_t kFat32MinClusters = 0xFFF4;
constexpr std::uint64_t kFat32MaxClusters = 0x0FFFFFF4;  // exclusive
constexpr std::uint64_t kFat16MinClusters = 4085;
constexpr std::uint64_t kFat16MaxClusters = 0xFFF4;  // exclusive

bool ClustersInRange(enumFILE_SYSTEM_TYPE type, std::uint64_t clusters) {
  if (type == kFatTypeFat32) return clusters >= kFat32MinClusters && clusters < kFat32MaxClusters;
  if (type == kFatTypeFat16) return clusters >= kFat16MinClusters && clusters < kFat16MaxClusters;
  return false;
}

std::uint64_t Nibbles(enumFILE_SYSTEM_TYPE type) { return type == kFatTypeFat32 ? 8 : 4; }

struct FatTableDeleter {
  void operator()(IFATTable* t) const { IFATTableFactory::DestroyFATTable(t); }
};

}  // namespace

CFATCompleteFSearcher::~CFATCompleteFSearcher() {
  ClearCandidates();
  for (CFATSearchedPartitionInfo* p : m_partitions) CFATSearchedPartitionInfo::DestroyFATSearchedPartitionInfo(p);
}

void CFATCompleteFSearcher::ClearCandidates() {
  for (CFATSearchedPartitionInfo* p : m_candidates) CFATSearchedPartitionInfo::DestroyFATSearchedPartitionInfo(p);
  m_candidates.clear();
  m_fatPositions.clear();
}

void CFATCompleteFSearcher::SetDevice(IStorageDevice* device) {
  m_device = device;
  const int size = device != nullptr ? device->GetSectorSize() : 512;
  m_sectorSize = size >= 512 ? static_cast<std::uint32_t>(size) : 512;
}

int CFATCompleteFSearcher::PreparetoSearch() {
  for (CFATSearchedPartitionInfo* p : m_partitions) CFATSearchedPartitionInfo::DestroyFATSearchedPartitionInfo(p);
  m_partitions.clear();
  ClearCandidates();
  m_folderSectors.clear();
  CFATBuildWorker::ResetTempFolderCounter();
  return 1;
}

int CFATCompleteFSearcher::GetSearchedPartitionInfo(CSearchedPartitionInfo** out, int capacity) {
  const int count = static_cast<int>(m_partitions.size());
  if (out == nullptr) return count;
  if (capacity < count) return 0;
  for (int i = 0; i < count; ++i) out[i] = m_partitions[static_cast<std::size_t>(i)]->Clone();
  return count;
}

int CFATCompleteFSearcher::AnalyzeBlock(long long startSector, long long sectorCount) {
  if (m_device == nullptr || m_sectorsPerBlock <= 0 || startSector < 0 || sectorCount <= 0) return 1;
  const std::size_t ss = m_sectorSize;
  if (const std::uint8_t* view = CStorageDeviceWithCache::View(m_device, startSector, sectorCount)) {
    for (long long i = 0; i < sectorCount; ++i) {
      AnalyzeSector(startSector + i, ByteView(view + static_cast<std::size_t>(i) * ss, ss));
    }
    return 1;
  }
  // One read for the whole block; sector by sector when that fails.
  const long long chunk = std::min<long long>(sectorCount, std::max(m_sectorsPerBlock, 1));
  m_block.resize(static_cast<std::size_t>(chunk) * ss);
  for (long long done = 0; done < sectorCount; done += chunk) {
    const long long n = std::min(chunk, sectorCount - done);
    const long long first = startSector + done;
    if (m_device->ReadSector(m_block.data(), first, n) != 0) {
      for (long long i = 0; i < n; ++i) {
        AnalyzeSector(first + i, ByteView(m_block.data() + static_cast<std::size_t>(i) * ss, ss));
      }
      continue;
    }
    for (long long i = 0; i < n; ++i) {
      if (m_device->ReadSector(m_block.data(), first + i, 1) == 0) continue;
      AnalyzeSector(first + i, ByteView(m_block.data(), ss));
    }
  }
  return 1;
}

void CFATCompleteFSearcher::AnalyzeSector(long long sector, const ByteView& bytes) {
  if (bytes.Size() < fatbs::kSectorBytes || bytes.U8(0) == 0) return;
  if (CTempFATDBR::SimpleCheck(bytes) && AnalyzeFATDBRSector(sector, bytes)) return;
  enumFILE_SYSTEM_TYPE type = kFatTypeNone;
  if (CFATTableAnalyser::IsValidFATTableFirstSector(bytes, m_sectorSize, type)) {
    UpdateFATTableInfo(sector);
    return;
  }
  CFATFolderAnalyser folder(m_sectorSize);
  if (folder.AnalyseSector(bytes) == 0) return;
  m_foundFiles += static_cast<std::uint64_t>(folder.FileEntries());
  FIRSTFOLDERSECTOR entry;
  entry.sector = sector;
  if (folder.ResultKind() == CFATFolderAnalyser::kFolderFirstSector) {
    AnalyzeFATSubFolderFirstSector(sector, folder.CurDirCluster());
    entry.cluster = folder.CurDirCluster();
    entry.parentCluster = folder.ParentDirCluster();
  }
  m_folderSectors.insert(entry);
}

bool CFATCompleteFSearcher::AnalyzeFATDBRSector(long long sector, const ByteView& bytes) {
  const CTempFATDBR dbr(bytes, m_sectorSize);
  if (!dbr.IsValidDBR()) return false;
  bool made = false;
  if (CFATSearchedPartitionInfo* primary = BuildPartitionInfoAccordingFATDBR(sector, dbr, false)) {
    InsertCandidate(primary, true);
    made = true;
  }
  if (dbr.GetFileSystemType() == kFatTypeFat32 && sector - 6 >= 0) {
    if (CFATSearchedPartitionInfo* backup = BuildPartitionInfoAccordingFATDBR(sector - 6, dbr, true)) {
      made = true;
      if (CFATSearchedPartitionInfo* same =
              FindCandidate(backup->GetDataStart(), static_cast<std::uint32_t>(backup->m_iSectorsPerCluster))) {
        same->MergeFlag(CFATSearchedPartitionInfo::kFlagFat32Backup);
        CFATSearchedPartitionInfo::DestroyFATSearchedPartitionInfo(backup);
      } else {
        InsertCandidate(backup, true);
      }
    }
  }
  return made;
}

CFATSearchedPartitionInfo* CFATCompleteFSearcher::BuildPartitionInfoAccordingFATDBR(long long start,
                                                                                    const CTempFATDBR& dbr,
                                                                                    bool backup) const {
  if (start < 0 || m_device == nullptr) return nullptr;
  const long long deviceTotal = m_device->GetTotalSectors();
  long long total = dbr.GetTotalSectors();
  total = std::min(total, std::max(0LL, deviceTotal - start));
  const enumFILE_SYSTEM_TYPE type = dbr.GetFileSystemType();
  const long long fats = static_cast<long long>(dbr.GetNumberOfFat()) * dbr.GetSectorsPerFat();
  long long dataStart = start + dbr.GetReservedSector() + fats;
  std::uint32_t rootInfo = 0;
  std::uint32_t flag = 0;
  if (type == kFatTypeFat32) {
    rootInfo = dbr.GetRootDirStartCluster();
    flag = backup ? std::uint32_t{CFATSearchedPartitionInfo::kFlagFat32Backup}
                  : std::uint32_t{CFATSearchedPartitionInfo::kFlagFat32Boot};
  } else if (type == kFatTypeFat16) {
    rootInfo = dbr.GetRootEntries() * fatbs::kDirEntryBytes / m_sectorSize;
    dataStart += rootInfo;
    flag = backup ? 0u : std::uint32_t{CFATSearchedPartitionInfo::kFlagFat16Boot};
  } else {
    return nullptr;
  }
  const long long span = start + total - dataStart;
  const std::uint32_t spc = dbr.GetSectorsperCluster();
  if (span <= 0 || spc == 0) return nullptr;
  const auto clusters = static_cast<std::uint64_t>(span) / spc;
  if (!ClustersInRange(type, clusters)) return nullptr;
  const std::uint64_t needed = (Nibbles(type) * clusters + 2ull * m_sectorSize - 1) / (2ull * m_sectorSize);
  if (dbr.GetSectorsPerFat() < needed) return nullptr;
  if (type == kFatTypeFat32 && clusters < rootInfo) return nullptr;

  CFATSearchedPartitionInfo* p = CFATSearchedPartitionInfo::CreateFATSearchedPartitionInfo(m_sectorSize);
  p->m_llClusterBaseSector = dataStart;
  p->m_iSectorsPerCluster = static_cast<std::int32_t>(spc);
  p->m_iFileSystem = type;
  p->SetTotalSectors(total);
  p->SetSectorPerFAT(dbr.GetSectorsPerFat());
  p->SetTotalCluster(static_cast<std::uint32_t>(clusters));
  p->SetStartSector(start);
  p->SetReservedSector(static_cast<std::uint16_t>(dbr.GetReservedSector()));
  p->SetRootInfo(rootInfo);
  p->MergeFlag(flag);
  return p;
}

void CFATCompleteFSearcher::InsertCandidate(CFATSearchedPartitionInfo* candidate, bool registerFats) {
  m_candidates.insert(candidate);
  if (!registerFats) return;
  const long long firstFat = candidate->GetStartSector() + candidate->GetReservedSector();
  m_fatPositions.emplace(firstFat, candidate);
  m_fatPositions.emplace(firstFat + candidate->GetSectorPerFAT(), candidate);
}

CFATSearchedPartitionInfo* CFATCompleteFSearcher::FindCandidate(long long dataStart,
                                                                std::uint32_t sectorsPerCluster) const {
  CFATSearchedPartitionInfo* key = CFATSearchedPartitionInfo::CreateFATSearchedPartitionInfo(m_sectorSize);
  key->m_llClusterBaseSector = dataStart;
  const auto [first, last] = m_candidates.equal_range(key);
  CFATSearchedPartitionInfo::DestroyFATSearchedPartitionInfo(key);
  for (auto it = first; it != last; ++it) {
    if (static_cast<std::uint32_t>((*it)->m_iSectorsPerCluster) == sectorsPerCluster) return *it;
  }
  return nullptr;
}

void CFATCompleteFSearcher::UpdateFATTableInfo(long long sector) {
  const auto [first, last] = m_fatPositions.equal_range(sector);
  for (auto it = first; it != last; ++it) {
    CFATSearchedPartitionInfo* p = it->second;
    if (sector == p->GetStartSector() + p->GetReservedSector()) {
      p->MergeFlag(CFATSearchedPartitionInfo::kFlagFirstFat);
    } else {
      p->MergeFlag(CFATSearchedPartitionInfo::kFlagSecondFat);
    }
  }
  m_fatPositions.erase(first, last);
}

void CFATCompleteFSearcher::AnalyzeFATSubFolderFirstSector(long long sector, std::uint32_t cluster) {
  std::vector<std::uint32_t> sizes;
  for (std::uint32_t s : FAT_SUPPORTED_SECTORS_PER_CLUSTER) {
    if (cluster < 2) break;
    const long long offset = static_cast<long long>(cluster - 2) * s;
    if (offset > sector) continue;
    const long long d = sector - offset;
    if (CFATSearchedPartitionInfo* match = FindCandidate(d, s)) {
      match->MergeFlag(CFATSearchedPartitionInfo::kFlagSubFolder);
      match->AddVote();
      return;
    }
    sizes.push_back(s);
  }
  for (std::uint32_t s : sizes) {
    if (m_candidates.size() >= kMaxCandidates) return;
    if (CFATSearchedPartitionInfo* made = BuildPartitionInfoAccordingtoSubFolder(sector, cluster, s)) {
      InsertCandidate(made, false);
    }
  }
}

bool CFATCompleteFSearcher::IsValidFileSystem(long long d, std::uint32_t s, enumFILE_SYSTEM_TYPE type,
                                              std::uint64_t& clusters, std::uint64_t& sectorsPerFat) const {
  const long long deviceTotal = m_device != nullptr ? m_device->GetTotalSectors() : 0;
  if (deviceTotal <= d || s == 0) return false;
  clusters = static_cast<std::uint64_t>(deviceTotal - d) / s;
  if (!ClustersInRange(type, clusters)) return false;
  sectorsPerFat = (Nibbles(type) * clusters + 2ull * m_sectorSize - 1) / (2ull * m_sectorSize);
  const auto half = static_cast<std::uint64_t>(d / 2);
  if (half >= sectorsPerFat) return true;
  clusters = half * m_sectorSize * 2 / Nibbles(type);
  return ClustersInRange(type, clusters);
}

CFATSearchedPartitionInfo* CFATCompleteFSearcher::BuildPartitionInfoAccordingtoSubFolder(long long sector,
                                                                                         std::uint32_t cluster,
                                                                                         std::uint32_t s) const {
  if (cluster < 2) return nullptr;
  const long long d = sector - static_cast<long long>(cluster - 2) * s;
  if (d < 0) return nullptr;
  std::uint64_t clusters = 0;
  std::uint64_t spf = 0;
  enumFILE_SYSTEM_TYPE type = kFatTypeNone;
  if (IsValidFileSystem(d, s, kFatTypeFat32, clusters, spf)) {
    type = kFatTypeFat32;
  } else if (IsValidFileSystem(d, s, kFatTypeFat16, clusters, spf)) {
    type = kFatTypeFat16;
  } else {
    return nullptr;
  }
  long long f = d - 2 * static_cast<long long>(spf) - 1;
  if (f < 0) return nullptr;
  long long rootArea = 0;
  std::uint32_t rootInfo = 2;
  if (type == kFatTypeFat16) {
    rootArea = std::min<long long>(f, 0x4000 / m_sectorSize);
    f -= rootArea;
    rootInfo = static_cast<std::uint32_t>(rootArea);
  }
  if (f < 0) return nullptr;
  CFATSearchedPartitionInfo* p = CFATSearchedPartitionInfo::CreateFATSearchedPartitionInfo(m_sectorSize);
  p->m_llClusterBaseSector = d;
  p->m_iSectorsPerCluster = static_cast<std::int32_t>(s);
  p->m_iFileSystem = type;
  p->SetTotalSectors(static_cast<long long>(clusters * s + static_cast<std::uint64_t>(rootArea) + 2 * spf + 1));
  p->SetSectorPerFAT(static_cast<std::uint32_t>(spf));
  p->SetTotalCluster(static_cast<std::uint32_t>(clusters));
  p->SetStartSector(f);
  p->SetReservedSector(1);
  p->SetRootInfo(rootInfo);
  p->MergeFlag(CFATSearchedPartitionInfo::kFlagSubFolder);
  return p;
}

void CFATCompleteFSearcher::AddSearchedPartitionInfoList2(std::vector<CFATSearchedPartitionInfo*>& out) {
  for (CFATSearchedPartitionInfo* p : m_candidates) {
    const std::uint32_t flags = p->GetFlags();
    const bool boot = (flags & CFATSearchedPartitionInfo::kBootFlags) != 0;
    const bool fatFound = (flags & (0x040 | 0x100)) != 0;
    if (p->Votes() == 0 && (!boot || !fatFound)) {
      CFATSearchedPartitionInfo::DestroyFATSearchedPartitionInfo(p);
      continue;
    }
    const bool first = (flags & 0x040) != 0;
    const bool second = (flags & 0x100) != 0;
    const int fatPart = first && second ? 50 : (first || second ? 45 : 10);
    int bootPart = 10;
    if (p->m_iFileSystem == kFatTypeFat32) {
      const bool a = (flags & CFATSearchedPartitionInfo::kFlagFat32Boot) != 0;
      const bool b = (flags & CFATSearchedPartitionInfo::kFlagFat32Backup) != 0;
      bootPart = a && b ? 50 : (a || b ? 45 : 10);
    } else if ((flags & CFATSearchedPartitionInfo::kFlagFat16Boot) != 0) {
      bootPart = 50;
    }
    p->SetRating(fatPart + bootPart);
    p->m_u16PartitionIndex = static_cast<std::uint16_t>(out.size());
    out.push_back(p);
  }
  m_candidates.clear();
  m_fatPositions.clear();
}

void CFATCompleteFSearcher::EndSearch(int build) {
  if (build == 0) return;
  AddSearchedPartitionInfoList2(m_partitions);
  if (m_partitions.empty()) return;
  if (m_builder == nullptr) return;
  m_builder->AddSearcherInfo(kSearcherFat, 0);
  for (CFATSearchedPartitionInfo* p : m_partitions) (void)CompleteBulidDirectoryTree(p);
  m_builder->SetPartitonDevice(nullptr, m_device);
  m_builder->FlashBuild(kSearcherFat);
}

RESULT CFATCompleteFSearcher::CompleteBulidDirectoryTree(CFATSearchedPartitionInfo* p) {
  const auto type = static_cast<enumFILE_SYSTEM_TYPE>(p->m_iFileSystem);
  const long long firstFat = p->GetStartSector() + p->GetReservedSector();
  const std::uint32_t flags = p->GetFlags();
  std::unique_ptr<IFATTable, FatTableDeleter> fat(IFATTableFactory::CreateFATTable(
      m_device, firstFat, type, p->GetSectorPerFAT(), (flags & 0x080) != 0, (flags & 0x200) != 0));
  if (!fat) return result::Make(result::kModuleFatSearch, __LINE__, kFatNoBuilderOrRecord);

  FatBuildGeometry g;
  g.builder = m_builder;
  g.progress = m_progress;
  g.partition = p;
  g.device = m_device;
  g.type = type;
  g.startSector = static_cast<std::uint64_t>(p->GetStartSector());
  g.sectorsPerCluster = static_cast<std::uint32_t>(p->m_iSectorsPerCluster);
  g.sectorSize = m_sectorSize;
  g.dataStart = static_cast<std::uint64_t>(p->GetDataStart());
  g.totalSectors = static_cast<std::uint64_t>(p->GetTotalSectors());
  g.fat = fat.get();
  g.rootPresent = (flags & (0x002 | 0x004 | 0x008)) != 0 ? 1 : 0;
  if (g.rootPresent != 0) {
    if (type == kFatTypeFat32) {
      g.rootFirstCluster = p->GetRootInfo();
    } else {
      g.rootFirstSector = firstFat + 2ull * p->GetSectorPerFAT();
      g.rootSectors = p->GetRootInfo();
    }
  } else {
    g.rootFirstSector = 0xFFFFFFFF;
  }
  CFATBuildWorker worker(g);
  worker.SetFileSectorMap(m_fileSectorMap);
  worker.CompleteBuildDirectoryTree(m_folderSectors);
  return 0;
}

ICompleteFileSystemSearchController* CreateFATSearcher() { return new CFATCompleteFSearcher(); }
