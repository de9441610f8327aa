#include "fat/FatVolumeLabel.h"

#include <unordered_set>
#include <vector>

#include "fat/FatBootSectorLayout.h"
#include "fat/FatDirEntry.h"

namespace {

bool IsUsedCluster(std::uint32_t cluster) { return cluster >= 2 && cluster <= 0x0FFFFFEF; }

bool ReadSectors(IStorageDevice* device, std::uint32_t sectorSize, long long start, std::uint32_t count,
                 std::vector<std::uint8_t>& out) {
  out.assign(static_cast<std::size_t>(count) * sectorSize, 0);
  return count != 0 && start >= 0 && device->ReadSector(out.data(), start, count) != 0;
}

}  // namespace

CFATVolume::CFATVolume(IStorageDevice* device)
    : m_device(device), m_sectorSize(device != nullptr ? static_cast<std::uint32_t>(device->GetSectorSize()) : 512) {}

long long CFATVolume::ConvertClusterToSector(long long volumeStart, const CTempFATDBR& dbr, std::uint32_t cluster) {
  const long long fats = static_cast<long long>(dbr.GetNumberOfFat()) * dbr.GetSectorsPerFat();
  const long long clusterTerm = static_cast<long long>(cluster - 2) * dbr.GetSectorsperCluster();
  const long long base = volumeStart + dbr.GetReservedSector() + fats;
  switch (dbr.GetFileSystemType()) {
    case kFatTypeFat32:
      return base + clusterTerm;
    case kFatTypeFat12:
    case kFatTypeFat16:
      return base + static_cast<long long>(dbr.GetRootEntries()) * fatbs::kDirEntryBytes / dbr.GetSectorSize() +
             clusterTerm;
    default:
      return -1;
  }
}

bool CFATVolume::GetPartitionLabel(long long volumeStart, const CTempFATDBR& dbr, std::string& label) {
  label.clear();
  if (m_device == nullptr || m_sectorSize == 0) return false;
  switch (dbr.GetFileSystemType()) {
    case kFatTypeFat32:
      return GetFat32Label(volumeStart, dbr, label);
    case kFatTypeFat12:
    case kFatTypeFat16:
      return GetFatLabel(volumeStart, dbr, label);
    default:
      return false;
  }
}

bool CFATVolume::GetFatLabel(long long volumeStart, const CTempFATDBR& dbr, std::string& label) {
  const std::uint32_t perCluster = dbr.GetSectorsperCluster();
  const std::uint32_t rootSectors = dbr.GetRootEntries() * fatbs::kDirEntryBytes / m_sectorSize;
  if (perCluster == 0 || rootSectors == 0) return false;
  const long long rootStart =
      volumeStart + dbr.GetReservedSector() + static_cast<long long>(dbr.GetNumberOfFat()) * dbr.GetSectorsPerFat();
  const std::uint32_t chunks = (rootSectors - 1) / perCluster + 1;
  for (std::uint32_t i = 0; i < chunks; ++i) {
    const int found =
        AnalyzeDirClusterToGetLabel(rootStart + static_cast<long long>(i) * perCluster, perCluster, label);
    if (found != 0) return found > 0;
  }
  return false;
}

bool CFATVolume::GetFat32Label(long long volumeStart, const CTempFATDBR& dbr, std::string& label) {
  const std::uint32_t perCluster = dbr.GetSectorsperCluster();
  if (perCluster == 0) return false;
  const std::uint64_t entriesPerChunk = static_cast<std::uint64_t>(m_sectorSize) * perCluster / 4;
  const long long fatStart = volumeStart + dbr.GetFatTableStartSector();
  std::vector<std::uint8_t> fatChunk;
  std::uint64_t loadedChunk = UINT64_MAX;
  std::unordered_set<std::uint32_t> visited;

  std::uint32_t cluster = dbr.GetRootDirStartCluster();
  while (IsUsedCluster(cluster) && visited.size() < kMaxRootClusters && visited.insert(cluster).second) {
    const int found = AnalyzeDirClusterToGetLabel(ConvertClusterToSector(volumeStart, dbr, cluster), perCluster, label);
    if (found != 0) return found > 0;

    const std::uint64_t chunk = cluster / entriesPerChunk;
    if (chunk != loadedChunk) {
      const long long sector = fatStart + static_cast<long long>(chunk) * perCluster;
      if (!ReadSectors(m_device, m_sectorSize, sector, perCluster, fatChunk)) return false;
      loadedChunk = chunk;
    }
    const ByteView fat(fatChunk.data(), fatChunk.size());
    cluster = fat.U32Le(static_cast<std::size_t>(cluster % entriesPerChunk) * 4);
  }
  return false;
}

int CFATVolume::AnalyzeDirClusterToGetLabel(long long sector, std::uint32_t sectorCount, std::string& label) {
  std::vector<std::uint8_t> buffer;
  if (!ReadSectors(m_device, m_sectorSize, sector, sectorCount, buffer)) return -1;
  const ByteView dir(buffer.data(), buffer.size());
  for (std::size_t offset = 0; dir.Has(offset, fatbs::kDirEntryBytes); offset += fatbs::kDirEntryBytes) {
    CTempFATDirEntry entry;
    if (!entry.InitFromBuffer(dir, offset)) return 0;
    if (entry.IsErased() || !entry.IsVolumeLabel() || entry.IsLongFileNameEntry()) continue;
    if (entry.IsNeverUsed()) return 0;
    label = entry.GetLabelText();
    return 1;
  }
  return 0;
}
