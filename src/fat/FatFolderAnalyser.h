#pragma once
// Judges whether one sector looks like a piece of a FAT folder.

#include <cstdint>

#include "core/util/ByteView.h"
#include "fat/FatDirEntry.h"

class CFATFolderAnalyser {
 public:
  enum ResultKind : int {
    kNotFolder = 0,
    kFolderSector = 1,       // a folder sector that is not its first
    kFolderFirstSector = 2,  // "." and ".." open it
  };

  explicit CFATFolderAnalyser(std::uint32_t size) : m_size(size) {}

  static bool IsCurDirFileName(const CTempFATDirEntry& entry);
  static bool IsParentDirFileName(const CTempFATDirEntry& entry);
  static bool IsBlankFATDirEntry(const ByteView& entry);

  // 1 when the first `size` bytes of `sector` look like a folder sector.
  int AnalyseSector(const ByteView& sector);

  int ResultKind() const { return m_kind; }
  // The ordinary entries that name files (not folders or volume labels).
  int FileEntries() const { return m_files; }
  std::uint32_t CurDirCluster() const { return m_curCluster; }
  std::uint32_t ParentDirCluster() const { return m_parentCluster; }
  std::uint32_t HighestCluster() const { return m_highestCluster; }

 private:
  void Clear();

  int m_kind = kNotFolder;
  int m_entries = 0;
  int m_files = 0;
  std::uint32_t m_curCluster = 0;
  std::uint32_t m_parentCluster = 0;
  std::uint32_t m_highestCluster = 0;
  std::uint32_t m_size;
};
