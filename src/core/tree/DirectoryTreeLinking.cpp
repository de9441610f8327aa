// Linking pending nodes to their folders and showing finished batches.

#include <algorithm>

#include "core/tree/DirectoryTreeBuilder.h"
#include "core/tree/NodeName.h"
#include "core/tree/RootDepths.h"
#include "core/tree/UserTrash.h"

namespace {

// Folders looked at when deciding whether a folder holds any file.
constexpr std::size_t kMaxEmptyFolderScan = std::size_t{1} << 22;

bool SamePartition(IFileNode* a, IFileNode* b) {
  auto* x = dynamic_cast<CFileNode*>(a);
  auto* y = dynamic_cast<CFileNode*>(b);
  return x == nullptr || y == nullptr || x->GetBelongedPartition() == y->GetBelongedPartition();
}

bool BothInPartition(IFileNode* a, IFileNode* b) {
  auto* x = dynamic_cast<CFileNode*>(a);
  auto* y = dynamic_cast<CFileNode*>(b);
  return x != nullptr && y != nullptr && x->GetBelongedPartition() == y->GetBelongedPartition();
}

bool IsOrIsUnder(IFileNode* node, long long id) {
  for (int depth = 0; node != nullptr && depth < CDirectoryTreeBuilder::kMaxTreeDepth; ++depth) {
    if (node->GetCurrentNodeID() == id) return true;
    node = node->GetParent();
  }
  return false;
}

}  // namespace

IFileNode* CDirectoryTreeBuilder::GetCorrectParent(long long trashId, const _PARENT_INFO& candidates, IFileNode* node) {
  if (candidates.empty() || node == nullptr) return nullptr;
  if (candidates.size() == 1) return candidates.front();
  for (IFileNode* c : candidates) {
    if (c->IsDirectory() != 0 && SamePartition(c, node) && c->IsDeleted() == 0 && IsOrIsUnder(c, trashId)) return c;
  }
  for (IFileNode* c : candidates) {
    if (c->IsDirectory() != 0 && BothInPartition(c, node)) return c;
  }
  return candidates.front();
}

IFileNode* CDirectoryTreeBuilder::FindFolder(_DIRECTORY_TREE_INFO& tree, IFileNode* node) {
  const long long wanted = node->GetParentNodeID();
  if (wanted == tree.rootId) return tree.root;
  auto it = tree.folders.find(wanted);
  if (it == tree.folders.end()) return nullptr;
  return GetCorrectParent(tree.trashId, it->second, node);
}

// Nodes deeper than kMaxTreeDepth are not shown.
bool CDirectoryTreeBuilder::IsShownDepth(_DIRECTORY_TREE_INFO& tree, int depth) {
  if (depth == RootDepths::kNotBelow) return false;
  if (depth <= kMaxTreeDepth) return true;
  ++tree.depthLimitHits;
  return false;
}

// A folder with no file anywhere below it.
bool CDirectoryTreeBuilder::IsEmptyFolder(IFileNode* node) const {
  if (node->IsDirectory() == 0) return false;
  std::vector<IFileNode*> stack;
  for (IFileNode* c = node->GetFirstChild(); c != nullptr; c = c->GetNextNode()) {
    stack.push_back(c);
    if (stack.size() > kMaxEmptyFolderScan) return false;
  }
  std::size_t seen = 0;
  while (!stack.empty()) {
    IFileNode* n = stack.back();
    stack.pop_back();
    if (n->IsDirectory() == 0 || ++seen > kMaxEmptyFolderScan) return false;
    for (IFileNode* c = n->GetFirstChild(); c != nullptr; c = c->GetNextNode()) {
      stack.push_back(c);
      if (stack.size() > kMaxEmptyFolderScan) return false;
    }
  }
  return true;
}

// Number of nodes from `node` up to the top of its chain, at most `limit`.
int CDirectoryTreeBuilder::ChainLength(IFileNode* node, int limit) {
  int length = 0;
  for (; node != nullptr && length < limit; node = node->GetParent()) ++length;
  return length;
}

// Links a loose node to its folder, then that folder to its own, as far as
// the folders are known. Nothing is linked under a chain of kMaxTreeDepth
// nodes or more.
void CDirectoryTreeBuilder::LinkUpward(_DIRECTORY_TREE_INFO& tree, IFileNode* node) {
  const bool keepEverything = tree.root->GetSearcheType() == kSearcherApfs;
  const bool showNormal = m_pFilter != nullptr && m_pFilter->ShowNormalFiles() != 0;
  IFileNode* current = node;
  for (int step = 0; step < kMaxTreeDepth; ++step) {
    auto* parent = dynamic_cast<CFileNode*>(FindFolder(tree, current));
    if (parent == nullptr) return;
    if (parent->IsDeleted() != 0 && current->IsDeleted() == 0) {
      current->MarkDeleted();
      if (current->IsDirectory() != 0) WakeUnder(tree, current->GetCurrentNodeID());
    }
    if (!keepEverything) {
      // Past the first step `current` holds the node just linked, so it is
      // not empty.
      if (current->IsDirectory() != 0) {
        if (step == 0 && IsEmptyFolder(current)) return;
      } else if (current->IsDeleted() == 0 && !showNormal) {
        return;
      }
    }
    if (ChainLength(parent, kMaxTreeDepth) >= kMaxTreeDepth) {
      ++tree.depthLimitHits;
      return;
    }
    if (parent->AddChild(current) == 0) return;
    if (parent->GetParent() != nullptr || parent == tree.root) return;
    current = parent;
  }
  ++tree.depthLimitHits;
}

int CDirectoryTreeBuilder::BuildTree(_DIRECTORY_TREE_INFO& tree, std::vector<IFileNode*>& out, _tagSearcherType,
                                     bool force) {
  const long long now = m_clock.Now();
  if (!force) {
    const long long elapsed = now - tree.lastBuild;
    const bool due = tree.pendingCount > kBuildBatchNodes || elapsed >= kBuildIntervalSeconds || elapsed < 0;
    if (!due) return 0;
    // An HFS+ tree waits for its private-data folder.
    if (!m_bRestoring && tree.root->GetSearcheType() == kSearcherHfsPlus && tree.privateDataIds.empty()) return 0;
  }
  tree.pendingCount = 0;
  tree.lastBuild = now;
  // Parking is for the builds made while a searcher runs; a forced build
  // and the finishing steps walk every pending node.
  const bool park = m_bParking && !force && !m_bFinishing;
  if (!park) UnparkAll(tree);
  if (tree.pending.empty() && tree.parked.empty()) return 1;

  std::vector<_PENDING_ENTRY> walked;
  WalkPending(tree, walked);
  RootDepths depths(tree.root, kMaxWalk);
  tree.pending.clear();
  for (const _PENDING_ENTRY& e : walked) {
    IFileNode* node = e.node;
    if (node->GetParent() != nullptr && IsShownDepth(tree, depths.Of(node))) {
      out.push_back(node);
      tree.pendingSet.erase(node);
      continue;
    }
    const ParkKind kind = park ? ParkKindOf(tree, node) : ParkKind::kNo;
    if (kind == ParkKind::kNo) {
      tree.pending.push_back(node);
    } else {
      Park(tree, e, kind);
    }
  }
  return 1;
}

void CDirectoryTreeBuilder::ShowNodes(_DIRECTORY_TREE_INFO& tree, std::vector<IFileNode*>& nodes, int last) {
  if (m_pTree == nullptr || nodes.empty()) return;
  if (tree.rootShown == 0) {
    m_pTree->ShowFilesystemNode(tree.root);
    tree.rootShown = 1;
    m_clock.Sleep(kRootShowPauseSeconds);
  }
  for (IFileNode* node : nodes) tree.shown[node->GetCurrentNodeID()].push_back(node);
  tree.totalShown += static_cast<long long>(nodes.size());
  m_pTree->ShowNodes(nodes.data(), static_cast<unsigned int>(nodes.size()), last);
}

void CDirectoryTreeBuilder::BuildAndShowUntilDone(_DIRECTORY_TREE_INFO& tree, _tagSearcherType type) {
  // Every round that produces nodes takes them off the pending list.
  for (;;) {
    std::vector<IFileNode*> built;
    BuildTree(tree, built, type, true);
    if (built.empty()) return;
    ShowNodes(tree, built, 0);
  }
}

// A trash folder in a home folder of the scanned volume ("/Users/<name>/" or
// "/home/<name>/"), found through the folders known so far.
bool CDirectoryTreeBuilder::IsUserTrashFolder(_DIRECTORY_TREE_INFO& tree, IFileNode* node) {
  std::vector<std::string> path;
  IFileNode* current = node;
  for (std::size_t depth = 0; depth <= user_trash::kMaxHomeDepth; ++depth) {
    const long long wanted = current->GetParentNodeID();
    if (wanted == tree.rootId) {
      std::reverse(path.begin(), path.end());
      return user_trash::IsHomeFolder(path);
    }
    if (depth == user_trash::kMaxHomeDepth) return false;
    auto it = tree.folders.find(wanted);
    if (it == tree.folders.end()) return false;
    IFileNode* parent = GetCorrectParent(tree.trashId, it->second, current);
    if (parent == nullptr || parent == node) return false;
    path.emplace_back(NodeName(parent));
    current = parent;
  }
  return false;
}
