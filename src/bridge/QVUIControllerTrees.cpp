// The result trees: filled from the scan's maps on every update and after
// the scan, rows and counts for the windows, check-state recomputation.

#include <atomic>
#include <cstdio>
#include <set>

#include "bridge/BridgeServices.h"

#include "bridge/QVPublic.h"
#include "bridge/QVResultTrees.h"
#include "bridge/QVTimeMgr.h"
#include "bridge/QVTypeMgr.h"
#include "bridge/QVUIController.h"
#include "bridge/QVUIFilter.h"
#include "bridge/QVUIScan.h"
#include "core/util/Locks.h"
#include "core/util/Log.h"

namespace {

// All guarded by the tree lock.
QVTreeNodeArrays g_trees;
OpNodeArray g_ownPathObjs;  // the path tree when the caller registered none
std::vector<IFileNode*> g_vPathNodes;
std::vector<IFileNode*> g_vPathNodesTmp;
std::atomic<int> g_bPauseAddData{0};

constexpr int kFinalRetries = 100;

OpNodeArray& PathObjs() { return g_trees.path != nullptr ? *g_trees.path : g_ownPathObjs; }

OpNodePtr MakeFolderItem(IFileNode* node, int fileSystem) {
  __TreeNodeData__ record;
  record.isDirectory = node->IsDirectory();
  record.isDeleted = node->IsDeleted();
  record.isFileSystem = fileSystem;
  record.node = node;
  return OpNodeData::initWithNodeData(record);
}

OpNodeData* ItemOfNode(IFileNode* node) { return static_cast<OpNodeData*>(QVUIScan::instance()->QVGetFileNode(node)); }

// Makes items for folders whose parent has one; the others wait in
// g_vPathNodes.
void QVGetNewPathOpNodeImp(OpNodeArray& array, const std::vector<IFileNode*>& folders) {
  QVUIScan* scan = QVUIScan::instance();
  scan->SetOpTreeFinished(0);
  for (IFileNode* node : folders) {
    if (node == nullptr || ItemOfNode(node) != nullptr) continue;
    IFileNode* parent = node->GetParent();
    if (parent == nullptr) {
      OpNodePtr item = MakeFolderItem(node, 1);
      item->setExpandAble(1);
      array.push_back(item);
      scan->QVSetFileNode(node, item.get());
      continue;
    }
    OpNodeData* parentItem = ItemOfNode(parent);
    if (parentItem == nullptr) {
      g_vPathNodes.push_back(node);
      continue;
    }
    OpNodePtr item = MakeFolderItem(node, 0);
    item->setExpandAble(0);
    item->setParent(parentItem);
    parentItem->setExpandAble(1);
    array.push_back(item);
    scan->QVSetFileNode(node, item.get());
  }
  scan->SetOpTreeFinished(1);
}

void QVGetNewPathOpNode(OpNodeArray& array, int final) {
  array.clear();
  const std::vector<IFileNode*> fresh = QVUIScan::instance()->QVGetNewPathNode();
  g_vPathNodes.clear();
  QVGetNewPathOpNodeImp(array, fresh);
  g_vPathNodesTmp.insert(g_vPathNodesTmp.end(), g_vPathNodes.begin(), g_vPathNodes.end());
  g_vPathNodes.clear();
  std::vector<IFileNode*> waiting = g_vPathNodesTmp;
  QVGetNewPathOpNodeImp(array, waiting);
  g_vPathNodesTmp = g_vPathNodes;
  if (final == 0) return;
  for (int pass = 0; pass < kFinalRetries && !g_vPathNodesTmp.empty(); ++pass) {
    const std::size_t before = g_vPathNodesTmp.size();
    g_vPathNodes.clear();
    waiting = g_vPathNodesTmp;
    QVGetNewPathOpNodeImp(array, waiting);
    g_vPathNodesTmp = g_vPathNodes;
    // A pass that placed nothing will not place anything on a later pass.
    if (g_vPathNodesTmp.size() == before) break;
  }
  CatchExeception::WriteLog("folders without a parent item: %zu\n", g_vPathNodesTmp.size());
}

void AttachNewItems(const OpNodeArray& items) {
  for (const OpNodePtr& item : items) {
    if (OpNodeData* parent = item->parent())
      parent->ensureChildren().push_back(item);
    else
      PathObjs().push_back(item);
  }
}

bool IsFileNodeInArr(IFileNode* node, const OpNodeArray& array) {
  for (const OpNodePtr& item : array) {
    if (item && item->fileNode() == node) return true;
  }
  return false;
}

// Adds items for the shown sub-folders of every expandable folder item, all
// the way down; each folder's children are walked once.
void AddPathNodeToArray(const OpNodeArray& array) {
  QVUIScan* scan = QVUIScan::instance();
  std::vector<OpNodeData*> work;
  for (const OpNodePtr& item : array) work.push_back(item.get());
  std::set<IFileNode*> walked;
  while (!work.empty()) {
    OpNodeData* item = work.back();
    work.pop_back();
    IFileNode* node = item->fileNode();
    if (node != nullptr && item->isExpandAble() != 0 && walked.insert(node).second) {
      std::set<IFileNode*> present;
      if (item->children()) {
        for (const OpNodeChild& c : *item->children()) {
          if (const OpNodeData* child = OpNodeItemOf(c)) present.insert(child->fileNode());
        }
      }
      std::set<IFileNode*> seen;
      for (IFileNode* c = node->GetFirstChild(); c != nullptr && seen.insert(c).second; c = c->GetNextNode()) {
        if (!c->IsDirectory() || c->IsNodeShow() == 0 || scan->FindRemoveData(c) == 0) continue;
        if (present.count(c) != 0) continue;
        __TreeNodeData__ record;
        record.node = c;
        OpNodePtr child = OpNodeData::initWithNodeData(record);
        child->setType(kOpNodePath);
        child->setExpandAble(1);
        child->setParent(item);
        item->ensureChildren().push_back(child);
        present.insert(c);
      }
    }
    if (item->children()) {
      for (const OpNodeChild& c : *item->children()) {
        if (OpNodeData* child = OpNodeItemOf(c)) work.push_back(child);
      }
    }
  }
}

std::uint64_t GetNodeChildrenCntImp(const OpNodeData* item) {
  if (item == nullptr) return 0;
  if (item->isFadeNode() && item->parent() == nullptr &&
      (item->type() == kOpNodeCreateDate || item->type() == kOpNodeModifyDate)) {
    std::uint64_t sum = 0;
    if (item->children()) {
      for (const OpNodeChild& c : *item->children()) sum += GetNodeChildrenCntImp(OpNodeItemOf(c));
    }
    return sum;
  }
  if (!item->children()) return 0;
  std::uint64_t sum = 0;
  for (const OpNodeChild& c : *item->children()) {
    const OpNodeData* child = OpNodeItemOf(c);
    if (child == nullptr) return item->children()->size();
    if (child->children()) sum += child->children()->size();
  }
  return sum;
}

void SetNodeStateWitchVector(OpNodeData* group, const std::vector<IFileNode*>& nodes) {
  int sum = 0;
  int n = 0;
  for (IFileNode* node : nodes) {
    if (node == nullptr || node->IsNodeShow() == 0) continue;
    const int s = node->GetCheckedStatus();
    sum += s;
    ++n;
    if (s > 0) {
      if (group->state() != kPartlyChecked) group->setNodeState(kPartlyChecked);
    } else if (sum > 0 && group->state() == kPartlyChecked) {
      break;
    }
  }
  if (sum == 0)
    group->setNodeState(kUnchecked);
  else if (sum == 2 * n)
    group->setNodeState(kChecked);
}

}  // namespace

namespace bridge {

int AddTypeNodeToArrLocked(OpNodeArray* array) {
  if (array == nullptr) return 0;
  QVTypeMgr::share()->refreshTypeTree();
  if (array->empty()) *array = QVTypeMgr::share()->getRootNode();
  return 1;
}

int AddDateNodeToArrayLocked(OpNodeArray* array, int keyType) {
  if (array == nullptr) return 0;
  if (array->empty()) {
    __TreeNodeData__ record;
    record.isDirectory = 1;
    record.isDeleted = 1;
    OpNodePtr root = OpNodeData::initWithNodeData(record);
    root->setFadeName(
        bridge::Localizer().Text(keyType == kOpNodeCreateDate ? "CREATE_TIME_ROOT_NAME" : "MODIFY_TIME_ROOT_NAME"));
    root->setSubNode(std::make_shared<OpNodeList>());
    root->setExpandAble(1);
    root->setType(keyType);
    array->push_back(root);
    // The groups of a replaced root would keep the new files from view.
    QVTimeMgr::share()->clearTree(keyType);
  }
  QVTimeMgr::share()->refreshTimeTree(array->front().get(), keyType);
  return 1;
}

void QVGetTreeNodeDataPathLocked(int final) {
  OpNodeArray fresh;
  fresh.reserve(32);
  QVGetNewPathOpNode(fresh, final);
  AttachNewItems(fresh);
}

void QVResetTreeNodeDataLocked() {
  for (OpNodeArray* a : {g_trees.path, g_trees.type, g_trees.createTime, g_trees.modifyTime}) {
    if (a != nullptr) a->clear();
  }
  g_ownPathObjs.clear();
  g_vPathNodes.clear();
  g_vPathNodesTmp.clear();
  QVUIScan::instance()->QVResetFileNode();
}

QVTreeNodeArrays RegisteredTreesLocked() { return g_trees; }
std::size_t WaitingFoldersLocked() { return g_vPathNodesTmp.size(); }

void ResetTreesForNewScan() {
  {
    autolocker<mutex_locker> hold(QVTreeLocker());
    QVTypeMgr::share()->clear();
    QVTimeMgr::share()->clear();
    QVResetTreeNodeDataLocked();
  }
  QVResetUpdateThrottle();
}

// Search path tree: a folder and its ancestors, ancestors first.
int QVAddSearchFileNodeToOpTree(OpNodeArray& array, IFileNode* folder) {
  if (folder == nullptr) return 0;
  if (ItemOfNode(folder) != nullptr) return 1;
  QVUIScan* scan = QVUIScan::instance();
  std::vector<IFileNode*> chain;
  std::set<IFileNode*> seen;
  for (IFileNode* cur = folder; cur != nullptr && ItemOfNode(cur) == nullptr; cur = cur->GetParent()) {
    if (!seen.insert(cur).second) return 0;  // a parent chain that loops
    chain.push_back(cur);
  }
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    IFileNode* node = *it;
    IFileNode* parent = node->GetParent();
    OpNodePtr item;
    if (parent == nullptr) {
      item = MakeFolderItem(node, 1);
      item->setExpandAble(1);
    } else {
      OpNodeData* parentItem = ItemOfNode(parent);
      if (parentItem == nullptr) return 0;
      item = MakeFolderItem(node, 0);
      item->setExpandAble(0);
      item->setParent(parentItem);
      parentItem->setExpandAble(1);
    }
    array.push_back(item);
    scan->QVSetFileNode(node, item.get());
  }
  return 1;
}

}  // namespace bridge

int QVUIController::QVSetTreeNodeData(const QVTreeNodeArrays* arrays) {
  if (arrays == nullptr) return 0;
  {
    autolocker<mutex_locker> hold(QVTreeLocker());
    // Items of another path tree must not stay reachable from the scan.
    if (arrays->path != g_trees.path) {
      QVUIScan::instance()->QVResetFileNode();
      g_vPathNodes.clear();
      g_vPathNodesTmp.clear();
      g_ownPathObjs.clear();
    }
    g_trees = *arrays;
  }
  // No arrays at all: nothing is rebuilt any more.
  const bool none = arrays->path == nullptr && arrays->type == nullptr && arrays->createTime == nullptr &&
                    arrays->modifyTime == nullptr;
  if (none)
    QVSetTreeRebuildHook(nullptr);
  else
    QVSetTreeRebuildHook([](int final) { QVGetTreeNodeData(final, ""); });
  return 1;
}

int QVUIController::QVGetTreeNodeData(int final, const std::string&) {
  bridge::AddTypeNodeToArrLocked(g_trees.type);
  bridge::AddDateNodeToArrayLocked(g_trees.createTime, kOpNodeCreateDate);
  bridge::AddDateNodeToArrayLocked(g_trees.modifyTime, kOpNodeModifyDate);
  bridge::QVGetTreeNodeDataPathLocked(final);
  return 1;
}

int QVUIController::GetScanTreeNodeData(OpNodeArray* roots, int clear) {
  if (roots == nullptr) return 0;
  autolocker<mutex_locker> hold(QVTreeLocker());
  QVUIScan* scan = QVUIScan::instance();
  scan->SetOpTreeFinished(0);
  const bool pathView = scan->GetScanType() == 0;
  for (IFileNode* node : scan->GetFileSystemNode()) {
    if (clear != 0) {
      node->ShowNode(1);
      node->SetCheck(kUnchecked);
    }
    if (pathView && !IsFileNodeInArr(node, *roots)) {
      OpNodePtr item = MakeFolderItem(node, 1);
      item->setExpandAble(1);
      roots->push_back(item);
    }
  }
  if (pathView) AddPathNodeToArray(*roots);
  scan->SetOpTreeFinished(1);
  return 0;
}

void QVUIController::RefreshData() { QVUIScan::instance()->RefreshAllData(); }

int QVUIController::GetFileNodeToArray(std::vector<IFileNode*>* rows, OpNodeData* item) {
  if (item == nullptr) return 0;
  autolocker<mutex_locker> hold(QVTreeLocker());
  switch (item->type()) {
    case kOpNodePath: {
      if (!item->isDirect() || rows == nullptr) return 0;
      item->ensureChildren();
      rows->clear();
      IFileNode* node = item->fileNode();
      if (node == nullptr) return 0;
      std::set<IFileNode*> seen;
      for (IFileNode* c = node->GetFirstChild(); c != nullptr && seen.insert(c).second; c = c->GetNextNode()) {
        if (!c->IsDirectory() && c->IsNodeShow() != 0) rows->push_back(c);
      }
      return rows->empty() ? 0 : 1;
    }
    case kOpNodeCategory: {
      if (rows != nullptr) rows->clear();
      if (item->parent() == nullptr && !QVTypeMgr::share()->isOtherNode(item)) return 1;
      if (rows != nullptr && item->children()) {
        for (const OpNodeChild& c : *item->children()) {
          if (IFileNode* row = OpNodeRowOf(c)) rows->push_back(row);
        }
      }
      return 0;
    }
    case kOpNodeCreateDate:
    case kOpNodeModifyDate:
    case 4: {
      item->ensureChildren();
      if (rows == nullptr) return 0;
      rows->clear();
      if (item->parent() == nullptr) return 0;
      int year = 0;
      const std::int64_t t = item->type() == kOpNodeModifyDate ? item->modifytime() : item->createtime();
      QVCPPPublic::instance()->GetYearMonthByTimeT(&year, nullptr, t);
      char name[16];
      std::snprintf(name, sizeof name, "%04d", year);
      if (item->name() == name) return 0;
      for (const OpNodeChild& c : *item->children()) {
        if (IFileNode* row = OpNodeRowOf(c)) rows->push_back(row);
      }
      return 0;
    }
    default:
      return 0;
  }
}

std::uint64_t QVUIController::GetNodeChildrenCnt(OpNodeData* item) {
  autolocker<mutex_locker> hold(QVTreeLocker());
  return GetNodeChildrenCntImp(item);
}

void QVUIController::RefreshTypeTreeState(OpNodeData* item) {
  autolocker<mutex_locker> hold(QVTreeLocker());
  if (item != nullptr)
    QVTypeMgr::share()->setNodeState(item);
  else
    QVTypeMgr::share()->refreshTypeTreeState();
}

void QVUIController::RefreshTimeTreeState(OpNodeArray* roots, int change) {
  if (roots == nullptr) return;
  autolocker<mutex_locker> hold(QVTreeLocker());
  QVTimeMgr* mgr = QVTimeMgr::share();
  if (change == 1) {
    if (mgr->QVGetNeedRefreshTree() == 0) return;
    mgr->QVResetNeedRefreshTree();
  }
  QVUIScan* scan = QVUIScan::instance();
  const bool modify = scan->GetScanType() == 3;
  const QVTimeMap map = modify ? scan->GetModifyTimeMap() : scan->GetCreateTimeMap();
  static const std::vector<IFileNode*> kNone;
  for (const OpNodePtr& root : *roots) {
    if (!root || !root->children()) continue;
    for (const OpNodeChild& y : *root->children()) {
      OpNodeData* yearItem = OpNodeItemOf(y);
      if (yearItem == nullptr || !yearItem->children()) continue;
      const OpNodeList monthsOfYear = *yearItem->children();
      for (const OpNodeChild& m : monthsOfYear) {
        OpNodeData* monthItem = OpNodeItemOf(m);
        if (monthItem == nullptr) continue;
        int year = 0;
        int month = 0;
        QVCPPPublic::instance()->GetYearMonthByTimeT(&year, &month,
                                                     modify ? monthItem->modifytime() : monthItem->createtime());
        const std::vector<IFileNode*>* nodes = &kNone;
        if (const auto yi = map.find(year); yi != map.end()) {
          if (const auto mi = yi->second.find(month); mi != yi->second.end()) nodes = &mi->second;
        }
        SetNodeStateWitchVector(monthItem, *nodes);
      }
    }
  }
}

void QVUIController::QVTableViewCellCilck() {
  QVTypeMgr::share()->QVSetNeedRefreshTree();
  QVTimeMgr::share()->QVSetNeedRefreshTree();
}

bool QVUIController::getImageForType(const std::string& ext, bridge::Image& out) {
  return QVTypeMgr::share()->getImageForType(ext, out);
}

int QVUIController::QVCleanOpNodeSate() {
  autolocker<mutex_locker> hold(QVTreeLocker());
  for (OpNodeArray* a : {&PathObjs(), g_trees.type, g_trees.createTime, g_trees.modifyTime}) {
    if (a == nullptr) continue;
    for (const OpNodePtr& item : *a) {
      if (item) item->setNodeState(kUnchecked);
    }
  }
  return 1;
}

void QVUIController::QVResetTreeNodeData() {
  {
    autolocker<mutex_locker> hold(QVTreeLocker());
    bridge::QVResetTreeNodeDataLocked();
  }
  QVResetUpdateThrottle();
}

void QVUIController::UnselectedAllNodes() { QVUIScan::instance()->UnselectAllNodes(); }
void QVUIController::QVSetFlag(int flag) { g_bPauseAddData = flag; }

void QVUIController::initFileType() {
  QVUIFilter::InitFileTypes();
  (void)QVTypeMgr::share();
}
