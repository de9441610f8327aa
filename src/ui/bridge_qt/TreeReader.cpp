#include "ui/bridge_qt/TreeReader.h"

#include "bridge/QVUIScan.h"
#include "core/util/Locks.h"

namespace bridge_qt {

TreeRow RowOfItemLocked(const OpNodePtr& item) {
  TreeRow row;
  if (!item) return row;
  row.item = item;
  row.file = item->fileNode();
  row.name = item->isFileSystem() == 1 && item->name().empty() ? std::string("/") : item->name();
  row.size = item->size();
  row.state = item->state();
  row.nodeType = item->nodeType();
  row.type = item->type();
  row.isFolder = item->isDirect();
  row.expandable = item->isHasFolderChildren();
  row.expanded = item->isExpand() != 0;
  row.deleted = item->isDeleted();
  row.childCount = item->children() ? item->children()->size() : 0;
  return row;
}

TreeRow RowOfFileLocked(IFileNode* file) {
  TreeRow row;
  row.file = file;
  if (file == nullptr) return row;
  row.name = OpNodeData::fileNodeName(file);
  row.isFolder = OpNodeData::isFileNodeDirect(file);
  row.deleted = OpNodeData::isFileNodeDeleted(file);
  row.state = OpNodeData::fileNodeState(file);
  const long long size = row.isFolder ? 0 : file->GetFileSize();
  row.size = size > 0 ? static_cast<std::uint64_t>(size) : 0;
  return row;
}

std::vector<TreeRow> ReadRoots(const OpNodeArray& roots) {
  autolocker<mutex_locker> hold(QVTreeLocker());
  std::vector<TreeRow> rows;
  rows.reserve(roots.size());
  for (const OpNodePtr& item : roots) rows.push_back(RowOfItemLocked(item));
  return rows;
}

std::vector<TreeRow> ReadChildren(const OpNodeData& item) {
  autolocker<mutex_locker> hold(QVTreeLocker());
  std::vector<TreeRow> rows;
  const std::shared_ptr<OpNodeList> children = item.children();
  if (!children) return rows;
  rows.reserve(children->size());
  for (const OpNodeChild& c : *children) {
    if (const OpNodePtr* p = std::get_if<OpNodePtr>(&c))
      rows.push_back(RowOfItemLocked(*p));
    else
      rows.push_back(RowOfFileLocked(OpNodeRowOf(c)));
  }
  return rows;
}

TreeSnapshot TreeSnapshot::Take(const OpNodeArray& roots, std::size_t maxRows) {
  TreeSnapshot snap;
  autolocker<mutex_locker> hold(QVTreeLocker());
  // Depth-first with an explicit stack: trees may be deep.
  struct Pending {
    OpNodeChild child;
    int parent;
    int depth;
  };
  std::vector<Pending> stack;
  for (auto it = roots.rbegin(); it != roots.rend(); ++it) stack.push_back({*it, -1, 0});
  while (!stack.empty()) {
    if (snap.rows.size() >= maxRows) {
      snap.truncated = true;
      break;
    }
    Pending p = std::move(stack.back());
    stack.pop_back();
    const int index = static_cast<int>(snap.rows.size());
    const OpNodePtr* item = std::get_if<OpNodePtr>(&p.child);
    snap.rows.push_back(item != nullptr ? RowOfItemLocked(*item) : RowOfFileLocked(OpNodeRowOf(p.child)));
    snap.parent.push_back(p.parent);
    snap.depth.push_back(p.depth);
    if (item == nullptr || !*item || !(*item)->children()) continue;
    const OpNodeList& children = *(*item)->children();
    for (auto c = children.rbegin(); c != children.rend(); ++c) stack.push_back({*c, index, p.depth + 1});
  }
  return snap;
}

}  // namespace bridge_qt
