#pragma once
// The four result trees the windows show, as the bridge fills them: by
// folder path, by category, by creation date and by modification date. The
// arrays belong to the caller; the bridge changes them only while it holds
// the tree lock (QVTreeLocker()), and readers on other threads take it too.

#include <string>
#include <vector>

#include "bridge/OpNodeData.h"

class mutex_locker;

struct QVTreeNodeArrays {
  OpNodeArray* path = nullptr;        // "QVKeyNodePath"
  OpNodeArray* type = nullptr;        // "QVKeyNodeType"
  OpNodeArray* createTime = nullptr;  // "QVKeyNodeCreateTime"
  OpNodeArray* modifyTime = nullptr;  // "QVKeyNodeModifyTime"
};

inline constexpr const char* g_str_DO_SEARCH_FINISH = "DoSearchFinished";

namespace bridge {

// Steps of the tree building, run with the tree lock held.
int AddTypeNodeToArrLocked(OpNodeArray* array);
int AddDateNodeToArrayLocked(OpNodeArray* array, int keyType);
void QVGetTreeNodeDataPathLocked(int final);
void QVGetTreeNodeDataPathWithSearchLocked();
void QVResetTreeNodeDataLocked();
// Gives a folder and its ancestors items, ancestors first; 0 when its
// chain cannot be placed.
int QVAddSearchFileNodeToOpTree(OpNodeArray& array, IFileNode* folder);
// The registered arrays (tree lock held).
QVTreeNodeArrays RegisteredTreesLocked();
// Folders still waiting for their parent's item (tree lock held).
std::size_t WaitingFoldersLocked();
// Clears the managers and the trees for a new scan (takes the tree lock).
void ResetTreesForNewScan();

}  // namespace bridge
