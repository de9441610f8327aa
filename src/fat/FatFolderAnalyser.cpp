#include "fat/FatFolderAnalyser.h"

#include <optional>

#include "fat/FatDirEntryLayout.h"

bool CFATFolderAnalyser::IsCurDirFileName(const CTempFATDirEntry& entry) {
  return entry.IsFilenameEqual(".       ", "   ") && entry.IsDirectory();
}

bool CFATFolderAnalyser::IsParentDirFileName(const CTempFATDirEntry& entry) {
  return entry.IsFilenameEqual("..      ", "   ") && entry.IsDirectory();
}

bool CFATFolderAnalyser::IsBlankFATDirEntry(const ByteView& entry) {
  if (!entry.Has(0, fatdir::kEntryBytes)) return false;
  for (std::size_t i = 0; i < fatdir::kEntryBytes; ++i) {
    if (entry.U8(i) != 0) return false;
  }
  return true;
}

void CFATFolderAnalyser::Clear() {
  m_kind = kNotFolder;
  m_entries = 0;
  m_files = 0;
  m_curCluster = 0;
  m_parentCluster = 0;
  m_highestCluster = 0;
}

int CFATFolderAnalyser::AnalyseSector(const ByteView& sector) {
  Clear();
  const std::size_t size = m_size < sector.Size() ? m_size : sector.Size();
  std::optional<std::uint32_t> previousLive;
  bool sawDot = false;
  bool sawDotDot = false;
  bool failed = false;
  for (std::size_t i = 0; (i + 1) * fatdir::kEntryBytes <= size; ++i) {
    const std::size_t at = i * fatdir::kEntryBytes;
    CTempFATDirEntry entry;
    entry.InitFromBuffer(sector, at);
    if (!entry.IsValidFATDirEntry(1)) {
      const bool clean = m_entries > 0 || (sawDot && sawDotDot);
      if (!clean || !IsBlankFATDirEntry(sector.Sub(at, fatdir::kEntryBytes))) failed = true;
      break;
    }
    if (entry.IsLongFileNameEntry()) continue;
    const std::uint32_t cluster = entry.GetFirstClusterNO();
    if (cluster > m_highestCluster) m_highestCluster = cluster;
    if (i == 0 && IsCurDirFileName(entry)) {
      sawDot = true;
      m_curCluster = cluster;
    } else if (i == 1 && IsParentDirFileName(entry)) {
      sawDotDot = true;
      m_parentCluster = cluster;
    } else {
      if (!entry.IsErased()) {
        if (previousLive.has_value() && *previousLive == cluster) {
          failed = true;
          break;
        }
        previousLive = cluster;
      }
      ++m_entries;
      if (!entry.IsDirectory() && !entry.IsVolumeLabel()) ++m_files;
    }
  }
  if (sawDot && sawDotDot) {
    m_kind = kFolderFirstSector;
    return 1;
  }
  if (m_entries == 0 || failed) {
    Clear();
    return 0;
  }
  m_kind = kFolderSector;
  m_curCluster = 0;
  m_parentCluster = 0;
  return 1;
}
