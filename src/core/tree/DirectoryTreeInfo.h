#pragma once
// One searcher's tree inside the directory-tree builder.

#include <cstdint>
#include <list>
#include <map>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/model/FileNode.h"

// Every node recorded under one id (several partitions, several versions).
// Nearly every id has one node, which is kept in place; only a second one
// moves the list to the heap. The maps of a volume hold one per found file.
class _PARENT_INFO {
 public:
  _PARENT_INFO() = default;
  explicit _PARENT_INFO(IFileNode* node) : m_one(node), m_count(1) {}
  _PARENT_INFO(const _PARENT_INFO& other) { *this = other; }
  _PARENT_INFO(_PARENT_INFO&& other) noexcept { *this = std::move(other); }
  _PARENT_INFO& operator=(const _PARENT_INFO& other) {
    if (this == &other) return *this;
    clear();
    for (IFileNode* node : other) push_back(node);
    return *this;
  }
  _PARENT_INFO& operator=(_PARENT_INFO&& other) noexcept {
    if (this == &other) return *this;
    clear();
    m_one = other.m_one;
    m_many = other.m_many;
    m_count = other.m_count;
    other.m_one = nullptr;
    other.m_many = nullptr;
    other.m_count = 0;
    return *this;
  }
  ~_PARENT_INFO() { clear(); }

  IFileNode* const* begin() const { return m_many != nullptr ? m_many->data() : &m_one; }
  IFileNode* const* end() const { return begin() + m_count; }
  std::size_t size() const { return m_count; }
  bool empty() const { return m_count == 0; }
  IFileNode* front() const { return *begin(); }
  void push_back(IFileNode* node) {
    if (m_many == nullptr && m_count == 0) {
      m_one = node;
    } else {
      if (m_many == nullptr) m_many = new std::vector<IFileNode*>{m_one};
      m_many->push_back(node);
    }
    ++m_count;
  }
  // Removes every entry equal to `node`.
  void erase(IFileNode* node) {
    if (m_many != nullptr) {
      std::erase(*m_many, node);
      m_count = static_cast<std::uint32_t>(m_many->size());
    } else if (m_count == 1 && m_one == node) {
      m_count = 0;
      m_one = nullptr;
    }
  }
  void clear() {
    delete m_many;
    m_many = nullptr;
    m_one = nullptr;
    m_count = 0;
  }

 private:
  IFileNode* m_one = nullptr;
  std::vector<IFileNode*>* m_many = nullptr;
  std::uint32_t m_count = 0;
};

// A pending node with its arrival number.
struct _PENDING_ENTRY {
  std::uint64_t seq;
  IFileNode* node;
};

// Pending nodes that share a parent id and that no build can link until a
// folder with that id is recorded or turns deleted, in arrival order.
struct _PARKED_GROUP {
  std::vector<_PENDING_ENTRY> entries;
  // Every entry is a live file kept out of a tree that shows deleted files
  // only: one live folder with the id does not let them in either.
  bool onlyHiddenLive = true;
};

struct _DIRECTORY_TREE_INFO {
  // Recorded but not yet under the root, in arrival order. Between the
  // builds made during a scan, nodes a build would leave untouched wait in
  // `parked` instead; every other walk over `pending` sees them all.
  std::list<IFileNode*> pending;
  // Arrival number of every pending node, parked or not.
  std::unordered_map<IFileNode*, std::uint64_t> pendingSet;
  std::uint64_t nextSeq = 0;
  std::unordered_map<long long, _PARKED_GROUP> parked;
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
  // Set when the searcher never hands two nodes with one id: live files that
  // can never be shown are then freed as they come (see AddNode).
  bool uniqueIds = false;
  // Folders that stay live for good: each is the only node with its id, is
  // not deleted, is no trash, and so is every folder above it up to the root.
  std::unordered_set<long long> settledLiveFolders;
  // Live files freed as they came because no build could ever show them.
  long long droppedHidden = 0;
};
