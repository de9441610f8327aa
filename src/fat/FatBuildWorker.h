#pragma once
// Builds the folder tree of one FAT partition: from its root (quick build),
// or from the folder sectors a disk sweep found (complete build).

#include <cstdint>
#include <set>

#include "core/model/Contracts.h"
#include "core/util/ByteView.h"
#include "fat/FatBuildChildren.h"
#include "fat/FatBuildGeometry.h"

// A sector that looks like a piece of a folder; its "." and ".." clusters
// when it is a folder's first sector, else 0xFFFFFFFF.
struct FIRSTFOLDERSECTOR {
  long long sector = 0;
  std::uint32_t cluster = 0xFFFFFFFF;
  std::uint32_t parentCluster = 0xFFFFFFFF;
};

struct FIRSTFOLDERSECTORLESS {
  bool operator()(const FIRSTFOLDERSECTOR& a, const FIRSTFOLDERSECTOR& b) const { return a.sector < b.sector; }
};

using FolderSectorSet = std::set<FIRSTFOLDERSECTOR, FIRSTFOLDERSECTORLESS>;

class CFATBuildWorker {
 public:
  static constexpr std::uint32_t kUnknownCluster = 0xFFFFFFFF;

  explicit CFATBuildWorker(const FatBuildGeometry& geometry) : m_geometry(geometry) {}

  // A valid FAT16/FAT32 boot sector whose first or second FAT starts with a
  // FAT header.
  static bool IsFullValidDBR(const ByteView& sector, long long startSector, IStorageDevice* device);

  // 0 when done; module 0x010A code 1 without a root, 0xD when cancelled.
  [[nodiscard]] RESULT QuickBuildDirectoryTree(int build);
  // 1 when done or nothing lies in range; 0 when the lost-folder pass finds
  // nothing.
  int CompleteBuildDirectoryTree(const FolderSectorSet& folders);

  void SetFileSectorMap(FileSectorMap* map) { m_fileSectorMap = map; }
  // Made-up folder "DIR%d" for a folder whose entry is lost; deleted.
  [[nodiscard]] CFATFileNode* CreateTempFileNode(std::uint32_t cluster, std::uint32_t parentCluster);
  // The "DIR%d" counter starts again (at every complete scan).
  static void ResetTempFolderCounter();

 private:
  int BuildLostNode(const FolderSectorSet& folders);
  // Elements of `folders` from `low` to the partition's end.
  std::pair<FolderSectorSet::const_iterator, FolderSectorSet::const_iterator> Range(const FolderSectorSet& folders,
                                                                                    std::uint64_t low) const;
  void SendProgress(std::uint64_t done);

  FatBuildGeometry m_geometry;
  FatFolderMap m_folders;
  FatVisitedClusters m_visited;
  FileSectorMap* m_fileSectorMap = nullptr;
};
