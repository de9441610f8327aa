#pragma once
// Depth of nodes below one top node, each parent chain walked once: the
// nodes met on a walk remember their depth for the next question.

#include <unordered_map>
#include <vector>

#include "core/model/FileNode.h"

class RootDepths {
 public:
  static constexpr int kNotBelow = -1;

  // Walks longer than `maxWalk` count as broken chains.
  RootDepths(IFileNode* top, int maxWalk) : m_maxWalk(maxWalk) { m_depth[top] = 0; }

  // Steps from `node` up to the top; kNotBelow when its chain ends elsewhere.
  int Of(IFileNode* node) {
    std::vector<IFileNode*> path;
    int base = kNotBelow;
    for (IFileNode* n = node; n != nullptr; n = n->GetParent()) {
      auto known = m_depth.find(n);
      if (known != m_depth.end()) {
        base = known->second;
        break;
      }
      if (static_cast<int>(path.size()) >= m_maxWalk) break;
      path.push_back(n);
    }
    const int steps = static_cast<int>(path.size());
    for (int i = 0; i < steps; ++i) m_depth[path[i]] = base == kNotBelow ? kNotBelow : base + steps - i;
    return steps == 0 ? base : m_depth[node];
  }

 private:
  int m_maxWalk;
  std::unordered_map<IFileNode*, int> m_depth;
};
