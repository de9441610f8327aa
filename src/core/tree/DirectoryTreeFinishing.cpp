// The end of one searcher's tree: recycle-bin names, deleted marks, lost
// files and the release of what was never shown.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <utility>

#include "core/tree/DirectoryTreeBuilder.h"
#include "core/tree/NodeName.h"
#include "core/tree/RecycleInfoRecord.h"
#include "core/tree/RecyclerFilter.h"
#include "core/tree/RootDepths.h"

namespace {
constexpr const char* kLostFilesName = "Other lost files";
constexpr const char* kLostFilesVolume = "LostFiles";
}  // namespace

void CDirectoryTreeBuilder::FlashBuild(_tagSearcherType type) {
  _DIRECTORY_TREE_INFO* tree = FindTree(type);
  if (tree == nullptr) return;
  m_bFinishing = true;
  UnparkAll(*tree);

  RestoreRecycleBin(type);
  BuildAndShowUntilDone(*tree, type);

  if (tree->trashFound == 0) {
    for (IFileNode* candidate : tree->trashCandidates) {
      if (IsUserTrashFolder(*tree, candidate)) {
        candidate->MarkDeleted();
        tree->trashId = candidate->GetCurrentNodeID();
        tree->trashFound = 1;
        break;
      }
    }
  }
  QueueUnlinkedFiles(*tree);
  MarkUnderDeletedFolders(*tree);
  BuildAndShowUntilDone(*tree, type);
  BuildLostNodes(*tree);

  tree->pending.clear();
  tree->pendingSet.clear();
  tree->parked.clear();
  tree->trashCandidates.clear();
  tree->settledLiveFolders.clear();
  ReleaseNodeByFilter(*tree, tree->files);
  ReleaseNodeByFilter(*tree, tree->folders);
  ReleaseInfoRecords(type);
  if (tree->depthLimitHits != 0) {
    std::printf("CDirectoryTreeBuilder::FlashBuild  searcherType : %d, folder chains cut at depth %d: %lld\n",
                static_cast<int>(type), kMaxTreeDepth, tree->depthLimitHits);
    tree->depthLimitHits = 0;
  }

  std::printf("CDirectoryTreeBuilder::FlashBuild  searcherType : %d, total files: %lld\n", static_cast<int>(type),
              tree->totalShown);
  std::printf("CDirectoryTreeBuilder::FlashBuild  searcherType : %d, total added files: %lld\n", static_cast<int>(type),
              tree->totalAdded);
  m_bFinishing = false;
}

// Gives the held-back recycle-bin entries of one searcher their original
// names and adds them to its tree.
void CDirectoryTreeBuilder::RestoreRecycleBin(_tagSearcherType type) {
  auto takeOfType = [type](std::vector<HeldNode>& from) {
    std::vector<IFileNode*> taken;
    for (const HeldNode& h : from) {
      if (h.type == type) taken.push_back(h.node);
    }
    std::erase_if(from, [type](const HeldNode& h) { return h.type == type; });
    return taken;
  };
  std::vector<IFileNode*> folders = takeOfType(m_heldFolders);
  std::vector<IFileNode*> files = takeOfType(m_heldFiles);
  std::erase_if(m_heldFolderIds, [type](const auto& held) { return held.first == type; });
  std::stable_sort(folders.begin(), folders.end(),
                   [](IFileNode* a, IFileNode* b) { return a->GetParentNodeID() < b->GetParentNodeID(); });

  for (auto* list : {&folders, &files}) {
    for (IFileNode* node : *list) {
      RestorFileName(node, type);
      if (AddNode(node, type) == 0) node->Release();
    }
  }
}

void CDirectoryTreeBuilder::RestorFileName(IFileNode* node, _tagSearcherType type) {
  if (m_pPartitionDevice == nullptr) return;
  const char* name = NodeName(node);
  if (std::strncmp(name, "$R", 2) != 0 || CRecyclerFilter::IsRecycleBinSigleNode(node)) return;

  const std::size_t nameLen = std::strlen(name);
  auto match = std::find_if(m_infoRecords.begin(), m_infoRecords.end(), [&](const HeldNode& record) {
    if (record.type != type) return false;
    const char* recordName = NodeName(record.node);
    const std::size_t shorter = std::min(nameLen, std::strlen(recordName));
    return shorter > 2 && std::strncmp(name + 2, recordName + 2, shorter - 2) == 0;
  });
  if (match == m_infoRecords.end()) return;
  IFileNode* record = match->node;
  const long long recordSize = record->GetFileSize();
  if (recordSize < 0 || static_cast<unsigned long long>(recordSize) > recycle_info::kMaxRecordBytes) return;
  m_infoRecords.erase(match);

  std::string original;
  const bool found = CRecyclerFilter::RestorFileName(m_pPartitionDevice, m_pPartition, record, original);
  record->Release();
  if (!found || original.empty()) return;
  if (type == kSearcherFat || type == kSearcherExFat || type == kSearcherNtfs) node->SetFileName(original.c_str());
}

void CDirectoryTreeBuilder::ReleaseInfoRecords(_tagSearcherType type) {
  std::erase_if(m_infoRecords, [type](const HeldNode& record) {
    if (record.type != type) return false;
    record.node->Release();
    return true;
  });
}

// Recorded files that are neither linked nor pending get another chance.
void CDirectoryTreeBuilder::QueueUnlinkedFiles(_DIRECTORY_TREE_INFO& tree) {
  for (auto& [id, nodes] : tree.files) {
    IFileNode* first = nodes.empty() ? nullptr : nodes.front();
    if (first == nullptr || first->GetParent() != nullptr || tree.pendingSet.count(first) != 0) continue;
    tree.pending.push_back(first);
    tree.pendingSet.emplace(first, tree.nextSeq++);
  }
}

// Loose nodes whose folder is deleted are deleted too. A node marked here
// may be the folder of other loose nodes, which are then looked at again.
void CDirectoryTreeBuilder::MarkUnderDeletedFolders(_DIRECTORY_TREE_INFO& tree) {
  std::unordered_map<long long, std::vector<IFileNode*>> byParentId;
  for (IFileNode* node : tree.pending) byParentId[node->GetParentNodeID()].push_back(node);

  // True when the node was marked now; a node that cannot be marked does not
  // count, so the walk always ends.
  auto markIfUnderDeleted = [this, &tree](IFileNode* node) {
    if (node->IsDeleted() != 0) return false;
    IFileNode* folder = FindFolder(tree, node);
    if (folder == nullptr || folder->IsDeleted() == 0) return false;
    node->MarkDeleted();
    return node->IsDeleted() != 0;
  };
  std::vector<long long> changedIds;
  for (IFileNode* node : tree.pending) {
    if (markIfUnderDeleted(node)) changedIds.push_back(node->GetCurrentNodeID());
  }
  while (!changedIds.empty()) {
    const long long id = changedIds.back();
    changedIds.pop_back();
    auto it = byParentId.find(id);
    if (it == byParentId.end()) continue;
    for (IFileNode* node : it->second) {
      if (markIfUnderDeleted(node)) changedIds.push_back(node->GetCurrentNodeID());
    }
  }
}

// Gathers what is still loose under "Other lost files": branches whose top
// folder never turned up, and single orphans worth showing.
void CDirectoryTreeBuilder::BuildLostNodes(_DIRECTORY_TREE_INFO& tree) {
  std::printf("CDirectoryTreeBuilder::BuildLostNodes entry\n");
  const bool showNormal = m_pFilter != nullptr && m_pFilter->ShowNormalFiles() != 0;
  auto* lost = new CFilesystemNode(kLostFilesName, kLostFilesVolume, tree.root->GetSearcheType(), -1);

  // Empty files hanging in loose branches are dropped from them.
  for (IFileNode* node : tree.pending) {
    auto* self = dynamic_cast<CFileNode*>(node);
    if (self == nullptr || self->GetParentNode() == nullptr) continue;
    if (node->IsDirectory() == 0 && node->GetFileSize() == 0) self->GetParentNode()->RemoveChild(self);
  }
  // Tops of branches and single orphans go under the lost-files folder.
  for (IFileNode* node : tree.pending) {
    if (node->GetParent() != nullptr) continue;
    if (node->IsDirectory() != 0) {
      if (IsEmptyFolder(node)) continue;
    } else if (node->GetFileSize() == 0 || (node->IsDeleted() == 0 && !showNormal)) {
      continue;
    }
    lost->AddChild(node);
  }
  // Everything now hanging under it is shown; a branch whose top was left out
  // stays behind and is freed with it.
  std::vector<IFileNode*> out;
  RootDepths depths(lost, kMaxWalk);
  for (IFileNode* node : tree.pending) {
    const int depth = depths.Of(node);
    if (depth != RootDepths::kNotBelow && IsShownDepth(tree, depth + 1)) out.push_back(node);
  }
  std::printf("CDirectoryTreeBuilder BuildLostNodes nodsNotify.size() = %ld.\n", static_cast<long>(out.size()));
  if (out.empty()) {
    lost->Release();
    return;
  }
  out.push_back(lost);
  tree.root->AddChild(lost);
  ShowNodes(tree, out, 1);
}

// Frees the recorded nodes that were never shown (a replayed tree keeps them
// until the builder is released). A freed node is first detached from a
// parent that stays.
void CDirectoryTreeBuilder::ReleaseNodeByFilter(_DIRECTORY_TREE_INFO& tree, std::map<long long, _PARENT_INFO>& byId) {
  std::vector<IFileNode*> unshown;
  for (auto& [id, nodes] : byId) {
    auto shown = tree.shown.find(id);
    for (IFileNode* node : nodes) {
      const bool wasShown = shown != tree.shown.end() &&
                            std::find(shown->second.begin(), shown->second.end(), node) != shown->second.end();
      if (!wasShown) unshown.push_back(node);
    }
  }
  byId.clear();
  // Live files freed as they came count among the unshown ones released.
  long long released = &byId == &tree.files ? std::exchange(tree.droppedHidden, 0) : 0;
  if (m_bRestoring) {
    tree.retained.insert(tree.retained.end(), unshown.begin(), unshown.end());
  } else {
    // Sorted, for the test of a parent that leaves too: a set of every
    // unshown node would cost a node allocation each at the scan's peak.
    std::sort(unshown.begin(), unshown.end(), std::less<>());
    for (IFileNode* node : unshown) {
      auto* self = dynamic_cast<CFileNode*>(node);
      CFileNode* parent = self != nullptr ? self->GetParentNode() : nullptr;
      if (parent != nullptr &&
          !std::binary_search(unshown.begin(), unshown.end(), static_cast<IFileNode*>(parent), std::less<>())) {
        parent->RemoveChild(self);
      }
    }
    for (IFileNode* node : unshown) {
      node->Release();
      ++released;
    }
  }
  std::printf("CDirectoryTreeBuilder::ReleaseNodeByFilter --- nReleasedCount = %lld\n", released);
}
