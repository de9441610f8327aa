#pragma once
// Synthetic nodes, filter and clock for the tree-builder tests.

#include <string>
#include <utility>
#include <vector>

#include "core/model/Contracts.h"
#include "core/tree/DuplicateFolderEntry.h"
#include "core/tree/TreeBuilderClock.h"

struct NodeSpec {
  long long id;
  long long parent;
  std::string name;
  bool dir = false;
  bool deleted = false;
  long long size = 0;
  long long mtime = 0;
  long long ctime = 0;
  unsigned short partition = 0;
};

// A node of a simulated scan and how far the clock moves before it comes.
struct Arrival {
  NodeSpec spec;
  int secondsBefore;
};

// An engine node with every field settable; counts the live instances so
// tests can check that each node was freed exactly once.
class TreeNode : public CFileNode, public IDuplicateFolderEntry {
 public:
  static inline int s_live = 0;

  TreeNode(const NodeSpec& spec, _tagSearcherType type)
      : m_name(spec.name),
        m_dir(spec.dir),
        m_deleted(spec.deleted),
        m_type(type),
        m_size(spec.size),
        m_mtime(spec.mtime),
        m_ctime(spec.ctime) {
    SetNodeID(spec.id);
    SetParentNodeID(spec.parent);
    SetBelongedPartition(spec.partition);
    ++s_live;
  }
  ~TreeNode() override { --s_live; }

  const char* GetFileName() override { return m_name.c_str(); }
  long long GetFileSize() override { return m_size; }
  unsigned int GetAttribute() override { return m_dir ? 0x10 : 0x20; }
  long long GetCreationTime() override { return m_ctime; }
  long long GetModificationTime() override { return m_mtime; }
  long long GetLastAccessTime() override { return 0; }
  int IsDirectory() override { return m_dir ? 1 : 0; }
  int IsDeleted() override { return m_deleted ? 1 : 0; }
  _tagSearcherType GetSearcheType() const override { return m_type; }
  IFileNode* Clone() override {
    return new TreeNode({GetCurrentNodeID(), GetParentNodeID(), m_name, m_dir, m_deleted, m_size, m_mtime, m_ctime},
                        m_type);
  }
  void MarkDeleted() override { m_deleted = true; }
  void FilterFileNameByDot() override { m_name = CFileNode::FilterFileNameByDot(m_name); }
  void UpdateFileSize(long long size) override { m_size = size; }
  void SetFileName(const char* name) override {
    if (name != nullptr) m_name = name;
  }
  void TakeFolderEntry(IFileNode& newer) override {
    m_name = newer.GetFileName();
    m_ctime = newer.GetCreationTime();
    m_mtime = newer.GetModificationTime();
    m_deleted = newer.IsDeleted() != 0;
  }

  std::string m_name;
  bool m_dir;
  bool m_deleted;
  _tagSearcherType m_type;
  long long m_size;
  long long m_mtime;
  long long m_ctime;
};

// Lets every node pass unless its name is listed; the scan type decides
// whether live files are linked.
class FakeFilter : public IRecoveryFilter {
 public:
  int ShowNormalFiles() const override { return m_scanType != 0 ? 1 : 0; }
  void SetScanType(_SCAN_TYPE type) override { m_scanType = type; }
  int IsFileNodeValid(IFileNode* node) override {
    if (node == nullptr) return 0;
    for (const std::string& name : m_rejected) {
      if (name == node->GetFileName()) return 0;
    }
    return 1;
  }
  void SetFilterTypes(unsigned) override {}
  unsigned GetNodeFileType(IFileNode*) override { return kFilterOther; }
  void Release() override {}

  int m_scanType = kScanQuick;
  std::vector<std::string> m_rejected;
};

class FakeClock : public ITreeBuilderClock {
 public:
  long long Now() override { return m_now; }
  void Sleep(int seconds) override { m_sleeps.push_back(seconds); }

  long long m_now = 1000;
  std::vector<int> m_sleeps;
};
