// Search in the scan's results: marks every found node shown or hidden by
// its name, then rebuilds the four trees from the shown nodes on a thread of
// its own, holding the tree lock throughout.

#include <atomic>

#include "bridge/JobThreads.h"
#include "bridge/QVPublic.h"
#include "bridge/QVResultTrees.h"
#include "bridge/QVTimeMgr.h"
#include "bridge/QVTypeMgr.h"
#include "bridge/QVUIController.h"
#include "bridge/QVUIScan.h"
#include "core/util/Locks.h"
#include "core/util/Log.h"

namespace {

constexpr const char* kSearchJob = "search";

// Guarded by the tree lock.
std::vector<IFileNode*> g_vSearchFileNode;
// Changes with every start and stop; a search whose number is no longer
// current has been superseded.
std::atomic<std::uint64_t> g_searchGeneration{0};

bool Current(std::uint64_t generation) {
  return g_searchGeneration.load() == generation && QVUIScan::instance()->IsSearching() != 0;
}

void QVGetTreeNodeDataPathWithSearch() {
  QVUIScan* scan = QVUIScan::instance();
  OpNodeArray fresh;
  fresh.reserve(32);
  scan->SetOpTreeFinished(0);
  for (IFileNode* node : g_vSearchFileNode) {
    IFileNode* parent = node != nullptr ? node->GetParent() : nullptr;
    if (parent != nullptr) bridge::QVAddSearchFileNodeToOpTree(fresh, parent);
  }
  scan->SetOpTreeFinished(1);
  const QVTreeNodeArrays trees = bridge::RegisteredTreesLocked();
  for (const OpNodePtr& item : fresh) {
    if (OpNodeData* parent = item->parent())
      parent->ensureChildren().push_back(item);
    else if (trees.path != nullptr)
      trees.path->push_back(item);
  }
}

void QVGetTreeNodeDataWithSearch(const std::string& key, std::uint64_t generation) {
  const QVTreeNodeArrays trees = bridge::RegisteredTreesLocked();
  auto path = [] { QVGetTreeNodeDataPathWithSearch(); };
  auto type = [&] { bridge::AddTypeNodeToArrLocked(trees.type); };
  auto created = [&] { bridge::AddDateNodeToArrayLocked(trees.createTime, kOpNodeCreateDate); };
  auto modified = [&] { bridge::AddDateNodeToArrayLocked(trees.modifyTime, kOpNodeModifyDate); };
  auto post = [&] {
    if (Current(generation)) QVUIPublic::NotifyMainThread(key);
  };
  switch (QVUIScan::instance()->GetScanType()) {
    case 0:
      path();
      post();
      type();
      created();
      modified();
      break;
    case 1:
      type();
      post();
      created();
      modified();
      path();
      break;
    case 2:
      created();
      post();
      type();
      modified();
      path();
      break;
    case 3:
      modified();
      post();
      type();
      created();
      path();
      break;
    default:
      break;
  }
}

void DoSearchFn(const std::string& key, std::uint64_t generation) {
  QVUIScan* scan = QVUIScan::instance();
  {
    autolocker<mutex_locker> hold(QVTreeLocker());
    // Stopped or replaced before it began: the trees stay as they are.
    if (!Current(generation)) return;
    QVTypeMgr::share()->setSearch(1);
    QVTimeMgr::share()->setSearch(1);
    bridge::QVResetTreeNodeDataLocked();
    g_vSearchFileNode.clear();
    scan->DoSearch(g_vSearchFileNode);
    QVGetTreeNodeDataWithSearch(key, generation);
    if (Current(generation)) QVUIPublic::NotifyMainThread(g_str_DO_SEARCH_FINISH);
    std::vector<IFileNode*>().swap(g_vSearchFileNode);
  }
  scan->SetNeedUIUpdate(0);
}

}  // namespace

int QVUIController::DoSearchWithString(const std::string& text, void*, const std::string& postKey) {
  QVUIScan* scan = QVUIScan::instance();
  if (scan->IsSearching() != 0) {
    CatchExeception::WriteLog("++++++++++skip search key:%s++++++++\n", text.c_str());
    return 0;
  }
  scan->SetSearching(1);
  scan->SetSearchKey(text.c_str());
  const std::uint64_t generation = ++g_searchGeneration;
  if (!bridge::JobRegistry::instance().Start(
          kSearchJob, [postKey, generation] { DoSearchFn(postKey, generation); }, 0)) {
    scan->SetSearching(0);
    return 0;
  }
  return 1;
}

std::string QVUIController::GetSearchString() { return QVUIScan::instance()->GetSearchKey(); }

void QVUIController::StopSearch() {
  ++g_searchGeneration;
  QVUIScan::instance()->SetSearching(0);
  QVSetFlag(0);
}

int QVUIController::QVGetIsSearching() { return QVUIScan::instance()->IsSearching(); }

void QVUIController::GetSearchResultToArr(std::vector<IFileNode*>* rows) {
  QVUIScan* scan = QVUIScan::instance();
  if (rows == nullptr || scan->GetSearchKey().empty()) return;
  for (const auto& [category, nodes] : scan->GetTypeMap()) {
    for (IFileNode* node : nodes) {
      if (node != nullptr && node->IsNodeShow() != 0) rows->push_back(node);
    }
  }
}
