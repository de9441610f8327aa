// FAT32: the lost high half of a deleted entry's first cluster, guessed
// from its neighbours and confirmed by the cluster's contents.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "carving/RawFileInfo.h"
#include "carving/RawFileType.h"
#include "fat/FatBuildChildren.h"
#include "fat/FatDirEntryLayout.h"
#include "fat/FatFolderAnalyser.h"

unsigned long long g_u64PreReadFileCluNum = 0;

namespace {

constexpr unsigned long long kHighStep = 0x10000;
constexpr unsigned long long kLowMask = 0xFFFF;
constexpr unsigned long long kHighMask = ~kLowMask;
// Probing past a confirmed cluster this far up also for folders.
constexpr unsigned long long kFolderFallbackFloor = 0x310001;
// Sectors at the device's end that are never tested.
constexpr std::uint64_t kTailSectors = 10;
constexpr int kClaimRounds = 10;

bool EqualIgnoringCase(const std::string& a, const char* b) {
  const std::size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

std::string NameOf(CFATFileProperties& properties) {
  const char* name = properties.GetFileName();
  return name != nullptr ? std::string(name) : std::string();
}

}  // namespace

void CFATBuildChildren::IniRawDllValue() {
  if (m_analysersCopied) return;
  m_analysersCopied = true;
  CRawFileAnalyserListSingle* registry = CRawFileAnalyserListSingle::CreateInstance();
  if (registry == nullptr) return;
  m_analyserList = registry->GetAnalyserList(1);
  m_analyserMap = registry->GetAnalyserMap(1);
  m_analyserMultimap = registry->GetAnalyserMultimap(1);
}

bool CFATBuildChildren::ReadScratchSector(std::uint64_t sector) {
  if (sector == 0 || m_geometry.device == nullptr || m_geometry.sectorSize == 0) return false;
  const long long total = m_geometry.device->GetTotalSectors();
  if (total <= 0 || sector + kTailSectors >= static_cast<std::uint64_t>(total)) return false;
  // One spare zero byte after the sector.
  if (m_scratch.size() != static_cast<std::size_t>(m_geometry.sectorSize) + 1) {
    m_scratch.assign(static_cast<std::size_t>(m_geometry.sectorSize) + 1, 0);
  }
  if (m_geometry.device->ReadSector(m_scratch.data(), static_cast<long long>(sector), 1) == 0) return false;
  m_scratch[m_geometry.sectorSize] = 0;
  return true;
}

bool CFATBuildChildren::bEffectiveDIRFDT(unsigned cluster) {
  if (!m_geometry.ClusterInRange(cluster)) return false;
  if (!ReadScratchSector(m_geometry.ConvertClusterNumToSector(cluster))) return false;
  const ByteView sector(m_scratch.data(), m_geometry.sectorSize);
  CTempFATDirEntry dot;
  CTempFATDirEntry dotDot;
  dot.InitFromBuffer(sector, 0);
  dotDot.InitFromBuffer(sector, fatdir::kEntryBytes);
  return CFATFolderAnalyser::IsCurDirFileName(dot) && CFATFolderAnalyser::IsParentDirFileName(dotDot);
}

bool CFATBuildChildren::bWindowsPEFiles(const unsigned char* data, std::size_t length) {
  if (data == nullptr || length < 64) return false;
  if (data[0] != 'M' || data[1] != 'Z') return false;
  const std::uint64_t offset = ByteView(data, length).U32Le(60);
  if (offset + 3 >= static_cast<std::uint64_t>(length)) return false;
  return data[offset] == 'P' && data[offset + 1] == 'E';
}

bool CFATBuildChildren::bInAnalyzeMap(std::uint32_t key) { return m_analyserMap.count(key) != 0; }

bool CFATBuildChildren::bInAnalyzeMultimap(std::uint16_t key, unsigned char* data) {
  const auto [first, last] = m_analyserMultimap.equal_range(key);
  for (auto it = first; it != last; ++it) {
    if (it->second == nullptr) continue;
    CRawFileInfo info;
    if (it->second->AnalyseBuffer(data, info) != 0) return true;
  }
  return false;
}

bool CFATBuildChildren::bInAnalyzeList(unsigned char* data) {
  for (IRawFileAnalyser* analyser : m_analyserList) {
    if (analyser == nullptr) continue;
    CRawFileInfo info;
    if (analyser->AnalyseBuffer(data, info) != 0) return true;
  }
  return false;
}

bool CFATBuildChildren::bReviseFAT32FileFirstClu(long long cluster, bool useFileSectorMap) {
  IniRawDllValue();
  if (cluster < 2 || !m_geometry.ClusterInRange(static_cast<std::uint64_t>(cluster))) return true;
  const std::uint64_t sector = m_geometry.ConvertClusterNumToSector(static_cast<std::uint64_t>(cluster));
  if (useFileSectorMap) {
    if (m_pFileSectorMap == nullptr || m_pFileSectorMap->empty() || m_strCurExt.empty()) return true;
    const auto found = m_pFileSectorMap->find(static_cast<long long>(sector));
    if (found == m_pFileSectorMap->end()) return true;
    return !EqualIgnoringCase(m_strCurExt, RawFileExtName(static_cast<int>(found->second)));
  }
  if (!ReadScratchSector(sector)) return true;
  unsigned char* data = m_scratch.data();
  const ByteView view(data, m_scratch.size());
  if (bInAnalyzeMap(view.U32Le(0))) return false;
  if (bInAnalyzeMultimap(view.U16Le(0), data)) return false;
  if (bInAnalyzeList(data)) return false;
  return !bWindowsPEFiles(data, m_scratch.size());
}

unsigned long long CFATBuildChildren::TryGetRealFirstNum(unsigned long long start, bool& found, int count,
                                                         bool folder) {
  found = false;
  try {
    for (int i = 0; i + 1 < count; ++i) {
      const unsigned long long candidate = start + static_cast<unsigned long long>(i) * kHighStep;
      // Candidates only grow: past the partition's end nothing passes.
      if (candidate > 0xFFFFFFFFull || !m_geometry.ClusterInRange(candidate)) break;
      const bool passes = folder ? bEffectiveDIRFDT(static_cast<unsigned>(candidate))
                                 : !bReviseFAT32FileFirstClu(static_cast<long long>(candidate), m_bUseFileSectorMap);
      if (passes) {
        found = true;
        return candidate;
      }
    }
  } catch (...) {
    found = false;
  }
  return start;
}

bool CFATBuildChildren::bInDelFileOrDIRMap(unsigned long long& cluster, CTempFATDirEntry& entry,
                                           CFATFileProperties& properties, bool& found, unsigned long long& previous,
                                           int folder) {
  std::map<unsigned long long, std::string>& claims = folder != 0 ? m_folderNames : m_fileNames;
  const std::string name = NameOf(properties);
  bool claimable = true;
  for (int round = 0; round < kClaimRounds; ++round) {
    const auto known = claims.find(cluster);
    if (known == claims.end()) {
      // A guess that could not be confirmed is never written.
      if (!claimable || cluster > 0xFFFFFFFFull) return false;
      claims.emplace(cluster, name);
      entry.SetFirstClusterNO(static_cast<std::uint32_t>(cluster));
      found = true;
      return true;
    }
    if (known->second == name) return false;
    bool next = false;
    const unsigned long long probe = TryGetRealFirstNum(cluster + kHighStep, next, folder != 0 ? 50 : 40, folder != 0);
    if (next) {
      cluster = probe;
      claimable = true;
    } else if (probe < previous) {
      cluster = (previous & kHighMask) | (probe & kLowMask);
      claimable = false;
    } else {
      return false;
    }
  }
  return false;
}

void CFATBuildChildren::ReverseDelFileFirstNum(CTempFATDirEntry& entry, unsigned long long base,
                                               unsigned long long& running, CFATFileProperties& properties,
                                               bool madeUp) {
  if (m_geometry.type != kFatTypeFat32) {
    properties.SetFirstCluster(entry.GetFirstClusterNO());
    return;
  }
  const bool deleted = (properties.GetState() & CFATFileProperties::kStateDeleted) != 0;
  const bool folder = entry.IsDirectory();
  unsigned long long c = entry.GetFirstClusterNO();
  bool probed = false;

  if (folder) {
    if (!deleted) {
      m_folderNames.emplace(c, NameOf(properties));
    } else if (bEffectiveDIRFDT(static_cast<unsigned>(c))) {
      bool found = false;
      unsigned long long claim = c;
      bInDelFileOrDIRMap(claim, entry, properties, found, g_u64PreReadFileCluNum, 1);
    } else {
      bool found = false;
      unsigned long long t = TryGetRealFirstNum(c, found, 50, true);
      if (found) {
        bool claimed = false;
        bInDelFileOrDIRMap(t, entry, properties, claimed, g_u64PreReadFileCluNum, 1);
      } else if (g_u64PreReadFileCluNum >= kFolderFallbackFloor) {
        t = TryGetRealFirstNum(c + (g_u64PreReadFileCluNum & kHighMask), found, 50, true);
        if (found && t <= 0xFFFFFFFFull) {
          entry.SetFirstClusterNO(static_cast<std::uint32_t>(t));
          g_u64PreReadFileCluNum = t;
        }
      }
    }
    c = entry.GetFirstClusterNO();
  } else if (deleted && c <= kLowMask) {
    const std::string name = NameOf(properties);
    const auto dot = name.rfind('.');
    if (dot != std::string::npos) m_strCurExt = name.substr(dot + 1);
    // A high half of 0 may be the file's own: the entry is changed only when
    // its stored cluster does not start the file and another one proves to.
    // An empty file has no cluster to find.
    bool found = false;
    if (properties.GetFileSize() <= 0) {
    } else if (!bReviseFAT32FileFirstClu(static_cast<long long>(c), m_bUseFileSectorMap)) {
      unsigned long long claim = c;
      bool claimed = false;
      found = true;
      if (bInDelFileOrDIRMap(claim, entry, properties, claimed, g_u64PreReadFileCluNum, 0) && claimed) {
        c = entry.GetFirstClusterNO();
      }
    } else {
      const bool nearParent = base != 0 && (running >> 16) == (base >> 16) && !madeUp;
      const unsigned long long first = ((nearParent ? base : running) & kHighMask) + c;
      unsigned long long t = c;
      if (first != c) t = TryGetRealFirstNum(first, found, 10, false);
      if (!found) t = TryGetRealFirstNum(c + kHighStep, found, 34, false);
      if (found) {
        const auto known = m_fileNames.find(t);
        bool claimed = false;
        if (known != m_fileNames.end() && known->second == name) {
          c = t;  // the same entry, seen again
        } else if (bInDelFileOrDIRMap(t, entry, properties, claimed, g_u64PreReadFileCluNum, 0) && claimed) {
          c = entry.GetFirstClusterNO();
        } else {
          found = false;
        }
      }
    }
    probed = found;
    if (c <= 0xFFFFFFFFull) entry.SetFirstClusterNO(static_cast<std::uint32_t>(c));
    c = entry.GetFirstClusterNO();
  }

  const std::uint64_t clusterBytes = static_cast<std::uint64_t>(m_geometry.sectorSize) * m_geometry.sectorsPerCluster;
  const long long size = properties.GetFileSize();
  const unsigned long long n = folder || size <= 0 || clusterBytes == 0
                                   ? 0
                                   : (static_cast<std::uint64_t>(size) + clusterBytes - 1) / clusterBytes;
  running = std::max(c + n, base);
  if (!folder && deleted && (probed || c > 0x10000)) g_u64PreReadFileCluNum = running;
  properties.SetFirstCluster(static_cast<long long>(c));
}
