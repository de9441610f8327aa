// Loose nodes that a build during the scan would only look at and leave
// loose wait by parent id, so that a build walks the nodes it can link
// rather than every node found so far. The result is the same as walking
// them all: a parked node goes back into the walk, at its place in arrival
// order, as soon as a build could do something with it.

#include <algorithm>
#include <queue>

#include "core/tree/DirectoryTreeBuilder.h"
#include "core/tree/NodeName.h"
#include "core/tree/UserTrash.h"

struct CDirectoryTreeBuilder::WalkState {
  std::uint64_t currentSeq = 0;
  // Woken during the walk; taken in arrival order.
  std::priority_queue<std::pair<std::uint64_t, IFileNode*>, std::vector<std::pair<std::uint64_t, IFileNode*>>,
                      std::greater<>>
      late;
};

bool CDirectoryTreeBuilder::IsHiddenLive(_DIRECTORY_TREE_INFO& tree, IFileNode* node) const {
  const bool showNormal = m_pFilter != nullptr && m_pFilter->ShowNormalFiles() != 0;
  return !showNormal && tree.root->GetSearcheType() != kSearcherApfs && node->IsDirectory() == 0 &&
         node->IsDeleted() == 0;
}

IFileNode* CDirectoryTreeBuilder::SoleFolder(_DIRECTORY_TREE_INFO& tree, long long parentId, bool& multiple) {
  multiple = false;
  if (parentId == tree.rootId) return tree.root;
  auto it = tree.folders.find(parentId);
  if (it == tree.folders.end() || it->second.empty()) return nullptr;
  multiple = it->second.size() > 1;
  return it->second.front();
}

// A loose node can wait when linking it would find no folder (an orphan),
// or find one live folder that does not take it (a live file while only
// deleted files are shown).
CDirectoryTreeBuilder::ParkKind CDirectoryTreeBuilder::ParkKindOf(_DIRECTORY_TREE_INFO& tree, IFileNode* node) {
  if (node->GetParent() != nullptr) return ParkKind::kNo;
  bool multiple = false;
  IFileNode* folder = SoleFolder(tree, node->GetParentNodeID(), multiple);
  if (folder == nullptr && !multiple) return ParkKind::kOrphan;
  if (multiple || folder->IsDeleted() != 0) return ParkKind::kNo;
  return IsHiddenLive(tree, node) ? ParkKind::kHiddenLive : ParkKind::kNo;
}

void CDirectoryTreeBuilder::Park(_DIRECTORY_TREE_INFO& tree, const _PENDING_ENTRY& entry, ParkKind kind) {
  _PARKED_GROUP& group = tree.parked[entry.node->GetParentNodeID()];
  if (kind != ParkKind::kHiddenLive && !IsHiddenLive(tree, entry.node)) group.onlyHiddenLive = false;
  auto& v = group.entries;
  if (v.empty() || v.back().seq < entry.seq) {
    v.push_back(entry);
  } else {
    v.insert(std::upper_bound(v.begin(), v.end(), entry.seq,
                              [](std::uint64_t seq, const _PENDING_ENTRY& e) { return seq < e.seq; }),
             entry);
  }
}

// Before a build: the groups whose folder turned up, or turned deleted,
// since the last one.
void CDirectoryTreeBuilder::TakeWokenGroups(_DIRECTORY_TREE_INFO& tree, std::vector<_PENDING_ENTRY>& woken) {
  for (auto it = tree.parked.begin(); it != tree.parked.end();) {
    bool multiple = false;
    IFileNode* folder = SoleFolder(tree, it->first, multiple);
    _PARKED_GROUP& group = it->second;
    if (folder == nullptr && !multiple) {
      ++it;
      continue;
    }
    if (!multiple && folder->IsDeleted() == 0) {
      // One live folder: only the live files it does not take stay.
      if (!group.onlyHiddenLive) {
        std::erase_if(group.entries, [&](const _PENDING_ENTRY& e) {
          if (IsHiddenLive(tree, e.node)) return false;
          woken.push_back(e);
          return true;
        });
        group.onlyHiddenLive = true;
      }
      it = group.entries.empty() ? tree.parked.erase(it) : std::next(it);
      continue;
    }
    woken.insert(woken.end(), group.entries.begin(), group.entries.end());
    it = tree.parked.erase(it);
  }
  std::sort(woken.begin(), woken.end(), [](const _PENDING_ENTRY& a, const _PENDING_ENTRY& b) { return a.seq < b.seq; });
}

// During a build: a folder was just marked deleted, so the nodes waiting for
// its id that come later in arrival order are walked in this build.
void CDirectoryTreeBuilder::WakeUnder(_DIRECTORY_TREE_INFO& tree, long long folderId) {
  if (m_pWalk == nullptr) return;
  auto it = tree.parked.find(folderId);
  if (it == tree.parked.end()) return;
  std::erase_if(it->second.entries, [this](const _PENDING_ENTRY& e) {
    if (e.seq <= m_pWalk->currentSeq) return false;
    m_pWalk->late.emplace(e.seq, e.node);
    return true;
  });
  if (it->second.entries.empty()) tree.parked.erase(it);
}

// Every parked node back in `pending`, in arrival order.
void CDirectoryTreeBuilder::UnparkAll(_DIRECTORY_TREE_INFO& tree) {
  if (tree.parked.empty()) return;
  std::vector<_PENDING_ENTRY> all;
  for (auto& [id, group] : tree.parked) all.insert(all.end(), group.entries.begin(), group.entries.end());
  tree.parked.clear();
  std::sort(all.begin(), all.end(), [](const _PENDING_ENTRY& a, const _PENDING_ENTRY& b) { return a.seq < b.seq; });
  auto at = tree.pending.begin();
  for (const _PENDING_ENTRY& e : all) {
    while (at != tree.pending.end() && tree.pendingSet.at(*at) < e.seq) ++at;
    tree.pending.insert(at, e.node);
  }
}

// The first half of a build: every loose node taken in arrival order is
// linked as far as its folders are known. An unforced build during the scan
// takes the nodes of `pending` and the parked ones that may link now.
void CDirectoryTreeBuilder::WalkPending(_DIRECTORY_TREE_INFO& tree, std::vector<_PENDING_ENTRY>& walked) {
  std::vector<_PENDING_ENTRY> woken;
  TakeWokenGroups(tree, woken);
  std::vector<_PENDING_ENTRY> active;
  active.reserve(tree.pending.size());
  for (IFileNode* node : tree.pending) active.push_back({tree.pendingSet.at(node), node});
  std::vector<_PENDING_ENTRY> walk;
  walk.reserve(active.size() + woken.size());
  std::merge(active.begin(), active.end(), woken.begin(), woken.end(), std::back_inserter(walk),
             [](const _PENDING_ENTRY& a, const _PENDING_ENTRY& b) { return a.seq < b.seq; });

  WalkState state;
  m_pWalk = &state;
  std::size_t i = 0;
  while (i < walk.size() || !state.late.empty()) {
    _PENDING_ENTRY e;
    if (!state.late.empty() && (i == walk.size() || state.late.top().first < walk[i].seq)) {
      e = {state.late.top().first, state.late.top().second};
      state.late.pop();
    } else {
      e = walk[i++];
    }
    state.currentSeq = e.seq;
    if (e.node->GetParent() == nullptr) LinkUpward(tree, e.node);
    walked.push_back(e);
  }
  m_pWalk = nullptr;
}

void CDirectoryTreeBuilder::SetUniqueIds(_tagSearcherType type) {
  // Only a tree no node reached yet: ids handed before are not known.
  _DIRECTORY_TREE_INFO* tree = FindTree(type);
  if (tree != nullptr && tree->totalAdded == 0 && tree->pending.empty()) tree->uniqueIds = true;
}

// A folder no build can ever mark deleted: it and every folder above it up to
// the root are recorded, alone under their ids, live, and no trash (a trash
// candidate may be marked at the end). With unique ids no other folder can
// later take one of these ids, and a live folder turns deleted only under a
// deleted one, so the answer never changes once it is yes.
bool CDirectoryTreeBuilder::IsSettledLiveFolder(_DIRECTORY_TREE_INFO& tree, long long id) {
  std::vector<long long> path;
  for (int depth = 0; depth < kMaxTreeDepth; ++depth) {
    if (id == tree.rootId || tree.settledLiveFolders.count(id) != 0) {
      tree.settledLiveFolders.insert(path.begin(), path.end());
      return true;
    }
    auto it = tree.folders.find(id);
    if (it == tree.folders.end() || it->second.size() != 1) return false;
    IFileNode* folder = it->second.front();
    if (folder->IsDeleted() != 0 || user_trash::IsTrashName(NodeName(folder)) ||
        std::find(tree.trashCandidates.begin(), tree.trashCandidates.end(), folder) != tree.trashCandidates.end()) {
      return false;
    }
    path.push_back(id);
    id = folder->GetParentNodeID();
  }
  return false;
}

// A live file that no build can ever show: only deleted files are shown, and
// its folder stays live for good, so it is never marked deleted, linked or
// gathered with the lost files.
bool CDirectoryTreeBuilder::IsHiddenForGood(_DIRECTORY_TREE_INFO& tree, IFileNode* node) {
  if (!tree.uniqueIds || m_bRestoring || m_bFinishing || !IsHiddenLive(tree, node)) return false;
  return IsSettledLiveFolder(tree, node->GetParentNodeID());
}
