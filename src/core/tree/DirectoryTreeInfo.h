#pragma once
// One searcher's tree inside the directory-tree builder.

#include <list>
#include <map>
#include <unordered_set>
#include <vector>

#include "core/model/FileNode.h"

// Every node recorded under one id (several partitions, several versions).
using _PARENT_INFO = std::vector<IFileNode*>;

struct _DIRECTORY_TREE_INFO {
  // Recorded but not yet under the root, in arrival order.
  std::list<IFileNode*> pending;
  std::unordered_set<IFileNode*> pendingSet;
  // Trash-named folders not yet recognised as a trash.
  std::vector<IFileNode*> trashCandidates;
  std::map<long long, _PARENT_INFO> folders;
  std::map<long long, _PARENT_INFO> files;
  std::map<long long, _PARENT_INFO> shown;
  // Ids of the "HFS+ Private Data" folders.
  std::vector<long long> privateDataIds;
  CFilesystemNode* root = nullptr;
  long long rootId = 0;
  // Id of the folder recognised as the trash; 0 until one is.
  long long trashId = 0;
  int pendingCount = 0;
  long long totalShown = 0;
  long long totalAdded = 0;
  long long lastBuild = 0;
  int trashFound = 0;
  int rootShown = 0;
  // Walks cut short by the depth limit (broken or hostile parent chains).
  long long depthLimitHits = 0;
  // Unshown nodes kept after a replayed tree was finished, freed on release.
  std::vector<IFileNode*> retained;
};
