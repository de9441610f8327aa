#include "hfsplus/HfsPlusBTree.h"

#include <algorithm>
#include <new>
#include <vector>

#include "hfsplus/HfsPlusLayout.h"
#include "hfsplus/HfsPlusRawfile.h"
#include "hfsplus/HfsPlusResult.h"

namespace {
constexpr std::uint32_t kMaxVisitedNodes = 1u << 24;
}

CHFSPlusBTree::CHFSPlusBTree(CHFSPlusRawfile* file) : m_pFile(file) {
  if (file == nullptr || result::Failed(file->GetLastResult())) {
    m_lastResult = file == nullptr ? HFS_FAIL(kHfsBadArgument) : file->GetLastResult();
    return;
  }
  std::vector<std::uint8_t> first(512);
  if (file->Read(0, first.data(), first.size()) != first.size()) {
    m_lastResult = HFS_FAIL(kHfsShortRead);
    return;
  }
  const ByteView head(first.data(), first.size());
  const std::uint32_t nodeSize = head.U16Be(hfs::kNodeDescriptorSize + 18);
  if (!IsValidNodeSize(nodeSize)) {
    m_lastResult = HFS_FAIL(kHfsFormat);
    return;
  }
  m_nodeSize = nodeSize;
  m_header.totalNodes = 1;
  std::unique_ptr<CHFSPlusBTNode> node;
  if (RESULT rc = CreateNode(0, node); result::Failed(rc)) {
    m_lastResult = rc;
    return;
  }
  const auto header =
      node->Descriptor().kind == hfs::kHeaderNode ? DecodeHeaderRecord(node->GetRecord(0)) : std::nullopt;
  if (!header || header->nodeSize != nodeSize) {
    m_lastResult = HFS_FAIL(kHfsFormat);
    return;
  }
  m_header = *header;
  // Node numbers from disk are bounded by the file's size as well.
  const std::uint64_t fileNodes = file->AllocatedBytes() / nodeSize;
  m_header.totalNodes = static_cast<std::uint32_t>(std::min<std::uint64_t>(m_header.totalNodes, fileNodes));
}

unsigned CHFSPlusBTree::MaxDepth() const { return std::min<unsigned>(m_header.treeDepth, hfs::kMaxTreeDepth); }

RESULT CHFSPlusBTree::CreateNode(std::uint32_t n, std::unique_ptr<CHFSPlusBTNode>& out) {
  out.reset();
  if (m_pFile == nullptr || m_nodeSize == 0) return HFS_FAIL(kHfsNotInitialised);
  if (n >= m_header.totalNodes) return HFS_FAIL(kHfsFormat);
  std::vector<std::uint8_t> bytes(m_nodeSize);
  const std::uint64_t at = static_cast<std::uint64_t>(n) * m_nodeSize;
  if (m_pFile->Read(at, bytes.data(), m_nodeSize) != m_nodeSize) return HFS_FAIL(kHfsShortRead);
  out = CHFSPlusBTNode::Create(std::move(bytes), m_nodeSize);
  if (!out) return HFS_FAIL(kHfsFormat);
  return result::kSuccess;
}

bool CHFSPlusBTree::ChildOf(const ByteView& record, std::uint32_t& child) {
  if (!record.Has(0, 2)) return false;
  const std::size_t at = static_cast<std::size_t>(record.U16Be(0)) + 2;
  if (!record.Has(at, 4)) return false;
  child = record.U32Be(at);
  return true;
}

RESULT CHFSPlusBTree::Search(const RecordCompare& compare, HFSPlusSearchResult& out,
                             std::unique_ptr<CHFSPlusBTNode>* leafOut) {
  if (result::Failed(m_lastResult)) return m_lastResult;
  out.found = 0;
  if (IsEmpty()) return result::kSuccess;
  std::uint32_t n = m_header.rootNode;
  int height = -1;
  std::vector<std::uint32_t> path;
  for (unsigned depth = 0; depth <= MaxDepth(); ++depth) {
    if (std::find(path.begin(), path.end(), n) != path.end()) return HFS_FAIL(kHfsFormat);
    path.push_back(n);
    std::unique_ptr<CHFSPlusBTNode> node;
    if (RESULT rc = CreateNode(n, node); result::Failed(rc)) return rc;
    const int nodeHeight = node->Descriptor().height;
    if (height >= 0 && nodeHeight != height - 1) return HFS_FAIL(kHfsFormat);
    height = nodeHeight;
    if (node->IsLeaf()) {
      for (std::uint16_t i = 0; i < node->NumRecords(); ++i) {
        bool bad = false;
        const int c = compare(node->GetRecord(i), bad);
        if (bad) continue;
        if (c < 0) continue;
        if (c == 0) {
          out.nodeNumber = n;
          out.recordIndex = i;
          out.found = 1;
          if (leafOut != nullptr) *leafOut = std::move(node);
        }
        return result::kSuccess;
      }
      return result::kSuccess;
    }
    if (!node->IsIndex()) return HFS_FAIL(kHfsFormat);
    // The last record whose key is not greater than the search key.
    int chosen = -1;
    for (std::uint16_t i = 0; i < node->NumRecords(); ++i) {
      bool bad = false;
      const int c = compare(node->GetRecord(i), bad);
      if (bad) continue;
      if (c > 0) break;
      chosen = i;
      if (c == 0) break;
    }
    if (chosen < 0) return result::kSuccess;  // the key sorts before the whole tree
    std::uint32_t child = 0;
    if (!ChildOf(node->GetRecord(static_cast<std::size_t>(chosen)), child)) return HFS_FAIL(kHfsFormat);
    n = child;
  }
  return HFS_FAIL(kHfsFormat);
}

RESULT CHFSPlusBTree::Traverse(const ContinueCheck& continued, const LeafVisitor& visit) {
  if (result::Failed(m_lastResult)) return m_lastResult;
  if (IsEmpty()) return result::kSuccess;
  std::vector<bool> visited;
  try {
    visited.assign(std::min(m_header.totalNodes, kMaxVisitedNodes), false);
  } catch (const std::bad_alloc&) {
    return HFS_FAIL(kHfsNoMemory);
  }
  return Walk(m_header.rootNode, 0, -1, visited, continued, visit);
}

RESULT CHFSPlusBTree::Walk(std::uint32_t n, unsigned depth, int expectedHeight, std::vector<bool>& visited,
                           const ContinueCheck& continued, const LeafVisitor& visit) {
  if (continued && !continued()) return HFS_FAIL(kHfsCancelled);
  if (depth > MaxDepth() || n >= visited.size() || visited[n]) return HFS_FAIL(kHfsFormat);
  visited[n] = true;
  std::unique_ptr<CHFSPlusBTNode> node;
  if (RESULT rc = CreateNode(n, node); result::Failed(rc)) return rc;
  const int height = node->Descriptor().height;
  if (expectedHeight >= 0 && height != expectedHeight) return HFS_FAIL(kHfsFormat);
  if (node->IsLeaf()) {
    for (std::uint16_t i = 0; i < node->NumRecords(); ++i) {
      if (continued && !continued()) return result::kSuccess;
      visit(*node, i);
    }
    return result::kSuccess;
  }
  if (!node->IsIndex()) return HFS_FAIL(kHfsFormat);
  RESULT last = result::kSuccess;
  for (std::uint16_t i = 0; i < node->NumRecords(); ++i) {
    std::uint32_t child = 0;
    if (!ChildOf(node->GetRecord(i), child)) continue;
    const RESULT rc = Walk(child, depth + 1, height - 1, visited, continued, visit);
    if (IsHfsCode(rc, kHfsCancelled)) return rc;
    if (result::Failed(rc)) last = rc;  // a damaged subtree: keep what the others prove
  }
  return last;
}
