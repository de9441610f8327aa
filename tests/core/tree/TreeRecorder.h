#pragma once
// A recording tree sink that also keeps the order of its calls, and a printer
// of the trees it was shown.

#include <string>
#include <vector>

#include "support/FakeSinks.h"

// 'R' for a root, 'B' for a batch, in call order.
class OrderedTree : public testsupport::RecordingTree {
 public:
  void ShowNodes(IFileNode** nodes, unsigned int count, int last) override {
    m_events.push_back('B');
    RecordingTree::ShowNodes(nodes, count, last);
  }
  void ShowFilesystemNode(IFilesystemNode* root) override {
    m_events.push_back('R');
    RecordingTree::ShowFilesystemNode(root);
  }
  std::string m_events;
};

// Every node below `root` as "<root name>/<path>", folders ending in "/",
// deleted nodes followed by " (deleted)"; sorted.
std::vector<std::string> PrintTree(IFileNode* root);

// Appends the nodes below `node` in child order, one a line, indented by
// depth, deleted ones marked " x".
void OrderedDump(IFileNode* node, int depth, std::string& out);

// Nodes below `root`, in no particular order.
std::vector<IFileNode*> NodesBelow(IFileNode* root);

// Nodes of every batch the sink received.
std::vector<IFileNode*> BatchedNodes(const testsupport::RecordingTree& sink);
