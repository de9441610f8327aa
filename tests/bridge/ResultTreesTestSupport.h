#pragma once
// Helpers of the result-tree tests: a set of registered trees, canonical
// text dumps of a tree, and small hand-made node forests.

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "bridge/BridgeTestSupport.h"
#include "bridge/OpNodeData.h"
#include "bridge/QVResultTrees.h"
#include "bridge/QVUIController.h"
#include "bridge/QVUIScan.h"
#include "core/util/Locks.h"

namespace treetest {

struct Trees {
  OpNodeArray path;
  OpNodeArray type;
  OpNodeArray created;
  OpNodeArray modified;

  Trees() = default;
  Trees(const Trees&) = delete;
  Trees& operator=(const Trees&) = delete;
  // The bridge lets go of the arrays (and the items the scan points at)
  // before they go.
  ~Trees() {
    QVUIController::QVResetTreeNodeData();
    QVTreeNodeArrays none;
    QVUIController::QVSetTreeNodeData(&none);
  }

  void Register() {
    QVTreeNodeArrays arrays;
    arrays.path = &path;
    arrays.type = &type;
    arrays.createTime = &created;
    arrays.modifyTime = &modified;
    QVUIController::QVSetTreeNodeData(&arrays);
  }
};

inline std::string NameOf(const OpNodeData& item) {
  if (item.isFileSystem() == 1) return "<root>";
  return item.name();
}

// One line per item or row, "  " per level; siblings sorted so that the
// dump does not depend on the order nodes were reported in. Rows are
// "- name".
inline void DumpInto(const OpNodeData& item, int depth, std::vector<std::string>& out) {
  out.push_back(std::string(depth * 2, ' ') + NameOf(item));
  if (!item.children()) return;
  std::vector<std::vector<std::string>> blocks;
  for (const OpNodeChild& c : *item.children()) {
    std::vector<std::string> block;
    if (const OpNodeData* child = OpNodeItemOf(c)) {
      DumpInto(*child, depth + 1, block);
    } else if (IFileNode* row = OpNodeRowOf(c)) {
      block.push_back(std::string((depth + 1) * 2, ' ') + "- " + row->GetFileName());
    }
    blocks.push_back(block);
  }
  std::sort(blocks.begin(), blocks.end());
  for (const auto& b : blocks) out.insert(out.end(), b.begin(), b.end());
}

inline std::string Dump(const OpNodeArray& array) {
  autolocker<mutex_locker> hold(QVTreeLocker());
  std::vector<std::string> lines;
  for (const OpNodePtr& item : array) DumpInto(*item, 0, lines);
  std::string text;
  for (const std::string& l : lines) text += l + "\n";
  return text;
}

// Owns a forest of test nodes linked parent → children.
class Forest {
 public:
  bridgetest::TestNode* Add(bridgetest::TestNode* parent, const std::string& name, bool dir, long long size = 10,
                            long long ctime = 0, long long mtime = 0) {
    m_nodes.push_back(std::make_unique<bridgetest::TestNode>(++m_id, parent != nullptr ? parent->GetCurrentNodeID() : 0,
                                                             name, size, dir, false, ctime, mtime));
    bridgetest::TestNode* node = m_nodes.back().get();
    if (parent != nullptr) parent->AddChild(node);
    return node;
  }
  Forest() = default;
  Forest(const Forest&) = delete;
  Forest& operator=(const Forest&) = delete;

 private:
  std::vector<std::unique_ptr<bridgetest::TestNode>> m_nodes;
  long long m_id = 100;
};

}  // namespace treetest
