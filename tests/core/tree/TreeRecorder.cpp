#include "TreeRecorder.h"

#include <algorithm>
#include <utility>

namespace {

void Walk(IFileNode* root, const auto& visit) {
  std::vector<std::pair<IFileNode*, std::string>> stack;
  const std::string rootName = root->GetFileName();
  for (IFileNode* c = root->GetFirstChild(); c != nullptr; c = c->GetNextNode()) stack.emplace_back(c, rootName);
  while (!stack.empty()) {
    auto [node, prefix] = stack.back();
    stack.pop_back();
    const std::string path = prefix + "/" + node->GetFileName();
    visit(node, path);
    for (IFileNode* c = node->GetFirstChild(); c != nullptr; c = c->GetNextNode()) stack.emplace_back(c, path);
  }
}

}  // namespace

std::vector<std::string> PrintTree(IFileNode* root) {
  std::vector<std::string> lines;
  Walk(root, [&lines](IFileNode* node, const std::string& path) {
    std::string line = path;
    if (node->IsDirectory() != 0) line += "/";
    if (node->IsDeleted() != 0) line += " (deleted)";
    lines.push_back(line);
  });
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::vector<IFileNode*> NodesBelow(IFileNode* root) {
  std::vector<IFileNode*> nodes;
  Walk(root, [&nodes](IFileNode* node, const std::string&) { nodes.push_back(node); });
  return nodes;
}

std::vector<IFileNode*> BatchedNodes(const testsupport::RecordingTree& sink) {
  std::vector<IFileNode*> nodes;
  for (const auto& batch : sink.m_batches) nodes.insert(nodes.end(), batch.nodes.begin(), batch.nodes.end());
  return nodes;
}

void OrderedDump(IFileNode* node, int depth, std::string& out) {
  for (IFileNode* c = node->GetFirstChild(); c != nullptr; c = c->GetNextNode()) {
    out +=
        std::string(static_cast<std::size_t>(depth), ' ') + c->GetFileName() + (c->IsDeleted() != 0 ? " x" : "") + "\n";
    if (depth < 64) OrderedDump(c, depth + 1, out);
  }
}
