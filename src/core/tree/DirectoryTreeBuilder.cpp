#include "core/tree/DirectoryTreeBuilder.h"

#include <algorithm>
#include <cstring>

#include "core/device/StorageDevice.h"
#include "core/tree/DuplicateFolderEntry.h"
#include "core/tree/NodeName.h"
#include "core/tree/RecyclerFilter.h"
#include "core/tree/TreeBuilderFactory.h"
#include "core/tree/UserTrash.h"
#include "core/util/Log.h"

namespace {

constexpr const char* kPrivateDataName = "HFS+ Private Data";

const char* RootSuffix(_tagSearcherType type) {
  switch (type) {
    case kSearcherHfsPlus:
      return "(HFS+)";
    case kSearcherFat:
      return "(FAT/FAT32)";
    case kSearcherExFat:
      return "(ExFat)";
    case kSearcherRawByType:
      return "(RAW Files)";
    case kSearcherNtfs:
      return "(NTFS)";
    case kSearcherRawByLabel:
      return "(Label RAW Files)";
    case kSearcherApfs:
      return "(APFS)";
    default:
      return "";
  }
}

}  // namespace

IDirecotryTreeBuilder* CreateTreeBuilder(bool restoring) { return CreateTreeBuilder(restoring, nullptr); }

IDirecotryTreeBuilder* CreateTreeBuilder(bool restoring, ITreeBuilderClock* clock) {
  return new CDirectoryTreeBuilder(restoring, clock != nullptr ? *clock : SystemTreeBuilderClock());
}

CDirectoryTreeBuilder::CDirectoryTreeBuilder(bool restoring, ITreeBuilderClock& clock)
    : m_bRestoring(restoring), m_clock(clock) {}

// Frees every node the builder still owns, shown or not, and the roots.
CDirectoryTreeBuilder::~CDirectoryTreeBuilder() {
  std::unordered_set<IFileNode*> owned;
  auto addMap = [&owned](const std::map<long long, _PARENT_INFO>& byId) {
    for (const auto& [id, nodes] : byId) owned.insert(nodes.begin(), nodes.end());
  };
  for (_DIRECTORY_TREE_INFO& tree : m_trees) {
    addMap(tree.shown);
    addMap(tree.folders);
    addMap(tree.files);
    owned.insert(tree.pending.begin(), tree.pending.end());
    for (const auto& [id, group] : tree.parked) {
      for (const _PENDING_ENTRY& e : group.entries) owned.insert(e.node);
    }
    owned.insert(tree.retained.begin(), tree.retained.end());
  }
  for (const auto* held : {&m_heldFiles, &m_heldFolders, &m_infoRecords}) {
    for (const HeldNode& h : *held) owned.insert(h.node);
  }
  for (IFileNode* node : owned) node->Release();
  for (_DIRECTORY_TREE_INFO& tree : m_trees) {
    if (tree.root != nullptr) tree.root->Release();
  }
  m_trees.clear();
}

void CDirectoryTreeBuilder::Release() { delete this; }

int CDirectoryTreeBuilder::Initialize(const char* deviceName, IDrirectoryTree* tree, IRecoveryFilter* filter) {
  if (deviceName == nullptr || tree == nullptr || filter == nullptr) return 0;
  m_pTree = tree;
  m_pFilter = filter;
  m_bFinishing = false;
  m_strDeviceName = deviceName[0] != '\0' ? deviceName : "Disk";
  return 1;
}

void CDirectoryTreeBuilder::SetPartitonDevice(CSearchedPartitionInfo* partition, IStorageDevice* device) {
  m_pPartition = partition;
  m_pPartitionDevice = device;
  // Searchers name the device after their sweep: the files found so far are
  // measured against it now, later ones as they come.
  for (_DIRECTORY_TREE_INFO& tree : m_trees) {
    for (auto* byId : {&tree.files, &tree.shown}) {
      for (auto& [id, nodes] : *byId) {
        for (IFileNode* node : nodes) {
          if (node != nullptr && node->IsDirectory() == 0) MarkIfLargerThanDevice(node);
        }
      }
    }
  }
}

_DIRECTORY_TREE_INFO* CDirectoryTreeBuilder::FindTree(_tagSearcherType type) {
  for (_DIRECTORY_TREE_INFO& tree : m_trees) {
    if (tree.root != nullptr && tree.root->GetSearcheType() == type) return &tree;
  }
  return nullptr;
}

int CDirectoryTreeBuilder::AddSearcherInfo(_tagSearcherType type, long long rootId) {
  if (_DIRECTORY_TREE_INFO* tree = FindTree(type)) {
    tree->rootId = rootId;
    // Another searcher of the type may hand ids the first one handed.
    tree->uniqueIds = false;
    return 1;
  }
  _DIRECTORY_TREE_INFO& tree = m_trees.emplace_back();
  const std::string rootName = m_strDeviceName + RootSuffix(type);
  tree.root = new CFilesystemNode(rootName.c_str(), m_strDeviceName.c_str(), type, rootId);
  tree.rootId = rootId;
  tree.lastBuild = m_clock.Now();
  return 1;
}

void CDirectoryTreeBuilder::CleanDotsOnlyName(IFileNode* node) {
  // "..." and longer runs of dots are legal names on volumes written by
  // Linux; as they are they would be taken for hidden files (or emptied when
  // leading dots are cut), so they are listed as "_...". A folder's own "."
  // and ".." entries are not names of files and stay as they are.
  const std::string name = NodeName(node);
  if (name.size() < 3 || name.find_first_not_of('.') != std::string::npos) return;
  node->SetFileName(("_" + name).c_str());
}

void CDirectoryTreeBuilder::MarkIfLargerThanDevice(IFileNode* node) const {
  auto* file = dynamic_cast<CFileNode*>(node);
  if (file == nullptr || file->IsDamaged() || m_pPartitionDevice == nullptr || file->IsCompressed() != 0) return;
  const long long sectors = m_pPartitionDevice->GetTotalSectors();
  const long long sectorSize = m_pPartitionDevice->GetSectorSize() > 0 ? m_pPartitionDevice->GetSectorSize() : 512;
  long long bytes = 0;
  if (sectors <= 0 || __builtin_mul_overflow(sectors, sectorSize, &bytes) || file->GetFileSize() <= bytes) return;
  CatchExeception::WriteLog("damaged: %s claims %lld bytes, more than its device holds (%lld)\n", NodeName(node),
                            file->GetFileSize(), bytes);
  file->MarkDamaged();
}

int CDirectoryTreeBuilder::AddNode(IFileNode* node, _tagSearcherType type) {
  if (node == nullptr || m_pFilter == nullptr || m_pFilter->IsFileNodeValid(node) == 0) return 0;
  if (node->GetCurrentNodeID() == node->GetParentNodeID()) return 0;
  _DIRECTORY_TREE_INFO* tree = FindTree(type);
  if (tree == nullptr) return 0;

  if (!m_bFinishing && type != kSearcherApfs && InsertToRecycleBin(node, type)) {
    node->MarkDeleted();
    return 1;
  }
  ++tree->totalAdded;
  ++tree->pendingCount;
  CleanDotsOnlyName(node);

  if (!m_bRestoring && type == kSearcherHfsPlus && tree->privateDataIds.empty() &&
      std::strcmp(NodeName(node), kPrivateDataName) == 0 && node->GetParentNodeID() == tree->rootId) {
    TakePrivateDataFolder(*tree, node);
    return 0;
  }

  bool trashCandidate = false;
  if (tree->trashFound == 0 && node->IsDirectory() != 0 && user_trash::IsTrashName(NodeName(node))) {
    bool recognised = node->GetParentNodeID() == tree->rootId;
    if (!recognised && IsUserTrashFolder(*tree, node)) {
      node->SetParentNodeID(tree->rootId);
      recognised = true;
    }
    if (recognised) {
      tree->trashId = node->GetCurrentNodeID();
      node->MarkDeleted();
    }
    trashCandidate = !recognised;
  }

  if (node->IsDirectory() != 0) {
    if (!tree->privateDataIds.empty() && node->GetParentNodeID() == tree->privateDataIds.front()) return 0;
    if (NodeName(node)[0] == '.') node->FilterFileNameByDot();
    if (RecordNode(*tree, tree->folders, node) == 0) return 0;
    if (trashCandidate) tree->trashCandidates.push_back(node);
  } else {
    if (NodeName(node)[0] == '.') return 0;
    if (IsHiddenForGood(*tree, node)) {
      // Taken and freed at once; the build runs as it would have.
      node->Release();
      ++tree->droppedHidden;
      std::vector<IFileNode*> built;
      if (BuildTree(*tree, built, type, false) != 0 && !built.empty()) ShowNodes(*tree, built, 0);
      return 1;
    }
    MarkIfLargerThanDevice(node);
    if (RecordNode(*tree, tree->files, node) == 0) return 0;
    // Recording an HFS+ file version may have marked a parked live file
    // deleted: its group is looked at again by the next build.
    if (type == kSearcherHfsPlus) {
      if (auto parked = tree->parked.find(node->GetParentNodeID()); parked != tree->parked.end()) {
        parked->second.onlyHiddenLive = false;
      }
    }
  }

  tree->pending.push_back(node);
  tree->pendingSet.emplace(node, tree->nextSeq++);
  std::vector<IFileNode*> built;
  if (BuildTree(*tree, built, type, false) != 0 && !built.empty()) ShowNodes(*tree, built, 0);
  return 1;
}

bool CDirectoryTreeBuilder::InsertToRecycleBin(IFileNode* node, _tagSearcherType type) {
  const bool held = CRecyclerFilter::IsRecycleBin(node) || CRecyclerFilter::IsRecoverNode(node) ||
                    CRecyclerFilter::IsRecoverNodeEx(node) || IsHeldFolderId(node->GetParentNodeID(), type);
  if (!held) return false;
  if ((node->GetAttribute() & 0x10) != 0) {
    m_heldFolders.push_back({node, type});
    m_heldFolderIds.emplace_back(type, node->GetCurrentNodeID());
  } else if (std::strncmp(NodeName(node), "$I", 2) == 0) {
    m_infoRecords.push_back({node, type});
  } else {
    m_heldFiles.push_back({node, type});
  }
  return true;
}

bool CDirectoryTreeBuilder::IsHeldFolderId(long long id, _tagSearcherType type) const {
  return std::find(m_heldFolderIds.begin(), m_heldFolderIds.end(), std::make_pair(type, id)) != m_heldFolderIds.end();
}

// Folders inside the HFS+ private-data folder (hard-link targets) are not
// part of the visible tree.
void CDirectoryTreeBuilder::TakePrivateDataFolder(_DIRECTORY_TREE_INFO& tree, IFileNode* node) {
  const long long privateId = node->GetCurrentNodeID();
  tree.privateDataIds.push_back(privateId);
  UnparkAll(tree);
  std::vector<IFileNode*> hidden;
  for (IFileNode* pending : tree.pending) {
    if (pending->IsDirectory() != 0 && pending->GetParentNodeID() == privateId) hidden.push_back(pending);
  }
  for (IFileNode* folder : hidden) ReleaseUnlinked(tree, folder);
}

// Removes a pending node from every list of the tree, detaches its children
// (they become loose again) and frees it.
void CDirectoryTreeBuilder::ReleaseUnlinked(_DIRECTORY_TREE_INFO& tree, IFileNode* node) {
  tree.pending.remove(node);
  tree.pendingSet.erase(node);
  for (auto* byId : {&tree.folders, &tree.files}) {
    auto it = byId->find(node->GetCurrentNodeID());
    if (it == byId->end()) continue;
    it->second.erase(node);
    if (it->second.empty()) byId->erase(it);
  }
  std::erase(tree.trashCandidates, node);
  if (auto* self = dynamic_cast<CFileNode*>(node)) {
    if (CFileNode* parent = self->GetParentNode()) parent->RemoveChild(self);
    for (int guard = 0; self->FirstChildNode() != nullptr && guard < (1 << 24); ++guard) {
      if (self->RemoveChild(self->FirstChildNode()) == 0) break;
    }
  }
  node->Release();
}

int CDirectoryTreeBuilder::RecordNode(_DIRECTORY_TREE_INFO& tree, std::map<long long, _PARENT_INFO>& byId,
                                      IFileNode* node) {
  auto it = byId.find(node->GetCurrentNodeID());
  if (it == byId.end()) {
    byId.emplace(node->GetCurrentNodeID(), _PARENT_INFO{node});
    return 1;
  }
  if (!m_bRestoring) {
    auto* fresh = dynamic_cast<CFileNode*>(node);
    const int version = RecordFileVersion(it->second, fresh);
    if (version == 0) return 0;
    if (version == 1) {
      it->second.push_back(node);
      return 1;
    }
    for (IFileNode* existing : it->second) {
      auto* kept = dynamic_cast<CFileNode*>(existing);
      if (kept == nullptr || fresh == nullptr || !(*kept == *fresh)) continue;
      // The same file found again: the kept copy, when it is the newer one,
      // takes the extents and size of the other copy.
      if (fresh->GetFileSize() != 0 && fresh->GetDataRunList() != nullptr &&
          kept->GetModificationTime() > fresh->GetModificationTime()) {
        kept->MergeNode(fresh);
      }
      return 0;
    }
    for (IFileNode* existing : it->second) {
      if (MergeDuplicateFolderEntry(existing, node)) return 0;
    }
  }
  it->second.push_back(node);
  return 1;
}

// An HFS+ file keeps its id when its content changes, so a record copy left
// in a journal or a stale tree node can hold an earlier version of a file
// found live: same id, parent and name, another modification time. Both are
// kept, each with its own content and times; the older is listed beside the
// newer as deleted. 0: the same version is recorded already (refused); 1: a
// version of a recorded file (taken); -1: neither.
int CDirectoryTreeBuilder::RecordFileVersion(const _PARENT_INFO& recorded, CFileNode* node) {
  if (node == nullptr || node->GetSearcheType() != kSearcherHfsPlus || node->IsDirectory() != 0) return -1;
  const long long modified = node->GetModificationTime();
  std::vector<CFileNode*> versions;
  for (IFileNode* existing : recorded) {
    auto* kept = dynamic_cast<CFileNode*>(existing);
    if (kept == nullptr || !(*kept == *node)) continue;
    if (kept->GetModificationTime() == modified) return 0;
    versions.push_back(kept);
  }
  if (versions.empty()) return -1;
  const bool newest =
      std::all_of(versions.begin(), versions.end(), [&](CFileNode* v) { return v->GetModificationTime() < modified; });
  if (newest) {
    for (CFileNode* v : versions) v->MarkDeleted();
  } else {
    node->MarkDeleted();
  }
  return 1;
}

// A FAT folder found again under another name in the same place and
// partition is the same directory: keep one node, holding the entry of the
// copy that is not older.
bool CDirectoryTreeBuilder::MergeDuplicateFolderEntry(IFileNode* kept, IFileNode* node) {
  auto* a = dynamic_cast<CFileNode*>(kept);
  auto* b = dynamic_cast<CFileNode*>(node);
  if (a == nullptr || b == nullptr || a->GetSearcheType() != kSearcherFat) return false;
  if (a->IsDirectory() == 0 || b->IsDirectory() == 0) return false;
  if (a->GetCurrentNodeID() != b->GetCurrentNodeID() || a->GetParentNodeID() != b->GetParentNodeID()) return false;
  if (a->GetBelongedPartition() != b->GetBelongedPartition()) return false;
  if (std::strcmp(NodeName(a), NodeName(b)) == 0) return false;
  if (b->GetCreationTime() >= a->GetCreationTime()) {
    if (auto* taker = dynamic_cast<IDuplicateFolderEntry*>(a)) taker->TakeFolderEntry(*b);
  }
  return true;
}
