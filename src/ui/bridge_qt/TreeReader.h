#pragma once
// How the windows read the bridge's result trees.
//
// The bridge grows the trees on its worker threads under QVTreeLocker();
// children lists keep changing between two "NormalScranValue" posts. A Qt
// model needs rows that stay put between its resets, so models do not read
// the live items in data()/rowCount(): on every update post they take a
// snapshot of the levels they show. A level is copied in one hold of the
// tree lock (ReadLevel); the rows keep their items alive (shared pointers),
// so a snapshot stays valid however the tree changes later. File rows are
// bare engine node pointers owned by the scan result: drop every snapshot
// before a new scan or load starts.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "bridge/OpNodeData.h"

namespace bridge_qt {

// One row of a tree as a window shows it.
struct TreeRow {
  OpNodePtr item;             // the tree item; null for a file row
  IFileNode* file = nullptr;  // the engine node of the item or the file row
  std::string name;
  std::uint64_t size = 0;
  int state = 0;     // check state 0, 1, 2
  int nodeType = 1;  // icon kind of an outline row
  int type = 0;      // item type (0 path, 1 category, 2 creation, 3 modification)
  bool isFolder = false;
  bool expandable = false;  // has folder children (or is an expandable group)
  bool expanded = false;    // remembered expanded state of the outline row
  bool deleted = false;
  std::size_t childCount = 0;  // entries of the children list
};

// The top-level items of a tree, in one hold of the tree lock.
std::vector<TreeRow> ReadRoots(const OpNodeArray& roots);
// The children of an item (items and file rows), in one hold of the lock.
std::vector<TreeRow> ReadChildren(const OpNodeData& item);

// A whole tree copied in one hold of the lock (small trees, tests, the
// measurement). Rows are in depth-first order.
struct TreeSnapshot {
  std::vector<TreeRow> rows;
  std::vector<int> parent;  // index of the parent row, -1 for a root
  std::vector<int> depth;
  // Rows at most; the copy stops there and `truncated` says so.
  static TreeSnapshot Take(const OpNodeArray& roots, std::size_t maxRows = SIZE_MAX);
  bool truncated = false;
};

// Reads rows without taking the lock: the caller holds QVTreeLocker().
TreeRow RowOfItemLocked(const OpNodePtr& item);
TreeRow RowOfFileLocked(IFileNode* file);

}  // namespace bridge_qt
