#pragma once
// Reads FAT folders and hands every entry, live or deleted, to the tree
// builder as a node.

#include <cstdint>
#include <deque>
#include <vector>

#include "core/util/ByteView.h"
#include "fat/FatBuildDataRun.h"
#include "fat/FatBuildGeometry.h"
#include "fat/FatFileNode.h"

class CFATBuildChildren {
 public:
  using FolderQueue = std::deque<CFATFileNode*>;

  // Folder extents are read at most this many sectors at a time.
  static constexpr std::uint32_t kExtentSectors = 128;
  // A long-name run cut by an extent's end is carried when shorter than this.
  static constexpr std::size_t kMaxCarryBytes = 1024;

  CFATBuildChildren(const FatBuildGeometry& geometry, FatVisitedClusters& visited, FatFolderMap& folders);

  // 1 when the root folder was read (or build is 0: nothing, 0).
  int BuildRoot(FolderQueue& queue, int build);
  // 1 when the folder was walked; 0 when its first cluster was visited or
  // does not open like a folder of its kind.
  int BuildChildren(CFATFileNode* folder, std::uint32_t firstCluster, FolderQueue& queue, int isRoot);
  // The offset of a long-name run still open at the end (for the caller to
  // carry), else the offset reached; -1 when a third "." entry ends the folder.
  long long BuildChildrenFromBuffer(const ByteView& buffer, CFATFileNode* folder, FolderQueue& queue, int stopAtInvalid);

  bool ReviseSwitch() const { return m_revise; }

 private:
  // Reads `count` sectors at `sector` into `out`; false on failure.
  bool ReadSectors(std::uint64_t sector, std::uint32_t count, std::uint8_t* out);
  void AddEntryNode(const ByteView& run, CFATFileNode* folder, std::uint32_t parentCluster, bool folderDeleted,
                    FolderQueue& queue);

  const FatBuildGeometry& m_geometry;
  FatVisitedClusters& m_visited;
  FatFolderMap& m_folders;
  CFATBuildDataRun m_runs;
  std::vector<std::uint8_t> m_buffer;
  bool m_revise = false;
};
