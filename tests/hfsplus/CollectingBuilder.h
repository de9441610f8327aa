#pragma once
// A tree builder that keeps every node it is given, for reading back.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/model/Contracts.h"
#include "support/FakeSinks.h"

namespace hfstest {

class CollectingBuilder : public testsupport::NodeSink {
 public:
  ~CollectingBuilder() override {
    for (IFileNode* n : nodes) n->Release();
  }
  int AddNode(IFileNode* node, _tagSearcherType type) override {
    types.push_back(type);
    nodes.push_back(node);
    return 1;
  }
  int AddSearcherInfo(_tagSearcherType, long long) override { return ++searcherInfos; }
  void FlashBuild(_tagSearcherType) override { ++flashBuilds; }

  // "a/b/c" paths of the nodes (parents resolved among the nodes; the root
  // folder's children have no prefix).
  std::map<std::string, IFileNode*> ByPath(bool deleted) const {
    std::map<long long, IFileNode*> byId;
    for (IFileNode* n : nodes) {
      // Live folders name the parents of deleted files too.
      if (n->IsDeleted() == 0 || byId.count(n->GetCurrentNodeID()) == 0) byId[n->GetCurrentNodeID()] = n;
    }
    std::map<std::string, IFileNode*> out;
    for (IFileNode* n : nodes) {
      if ((n->IsDeleted() != 0) != deleted) continue;
      std::string path = n->GetFileName();
      long long parent = n->GetParentNodeID();
      for (int guard = 0; guard < 64 && parent > 2; ++guard) {
        auto it = byId.find(parent);
        if (it == byId.end()) break;
        path = std::string(it->second->GetFileName()) + "/" + path;
        parent = it->second->GetParentNodeID();
      }
      if (n->GetCurrentNodeID() != 2) out[path] = n;
    }
    return out;
  }

  std::vector<IFileNode*> nodes;
  std::vector<_tagSearcherType> types;
  int searcherInfos = 0;
  int flashBuilds = 0;
};

}  // namespace hfstest
