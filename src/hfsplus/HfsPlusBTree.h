#pragma once
// Keyed access to one B-tree of a volume: search and depth-first walk, with
// every node checked and every walk bounded (depth, height, visited nodes).

#include <cstdint>
#include <functional>
#include <memory>

#include "core/model/ResultCode.h"
#include "core/util/ByteView.h"
#include "hfsplus/BTreeNode.h"

class CHFSPlusRawfile;

struct HFSPlusSearchResult {
  std::uint32_t nodeNumber = 0;
  std::uint16_t recordIndex = 0;
  std::uint16_t found = 0;
};

class CHFSPlusBTree {
 public:
  // < 0 when the record's key sorts before the search key, 0 equal, > 0 after;
  // `bad` is set when the record's key cannot be read.
  using RecordCompare = std::function<int(const ByteView& record, bool& bad)>;
  using ContinueCheck = std::function<bool()>;
  using LeafVisitor = std::function<void(const CHFSPlusBTNode& leaf, std::size_t index)>;

  // Reads the header node of the tree stored in `file`.
  explicit CHFSPlusBTree(CHFSPlusRawfile* file);

  RESULT GetLastError() const { return m_lastResult; }
  const BTHeaderRec& GetHeaderRec() const { return m_header; }
  std::uint32_t NodeSize() const { return m_nodeSize; }
  bool IsEmpty() const { return m_header.rootNode == 0 || m_header.treeDepth == 0; }

  // Reads and checks node `n` (inside the file and below totalNodes).
  RESULT CreateNode(std::uint32_t n, std::unique_ptr<CHFSPlusBTNode>& out);
  // On success `result.found` tells whether an equal key exists; the leaf
  // holding it is handed back when asked.
  RESULT Search(const RecordCompare& compare, HFSPlusSearchResult& result, std::unique_ptr<CHFSPlusBTNode>* leaf);
  // Depth-first walk of every leaf record. A cancel noticed on entering a
  // node ends with code 0xD; a damaged subtree is skipped.
  RESULT Traverse(const ContinueCheck& continued, const LeafVisitor& visit);

  // Child node number of an index record (the u32 after its key).
  [[nodiscard]] static bool ChildOf(const ByteView& record, std::uint32_t& child);

 private:
  RESULT Walk(std::uint32_t n, unsigned depth, int expectedHeight, std::vector<bool>& visited,
              const ContinueCheck& continued, const LeafVisitor& visit);
  unsigned MaxDepth() const;

  CHFSPlusRawfile* m_pFile;
  RESULT m_lastResult = 0;
  std::uint32_t m_nodeSize = 0;
  BTHeaderRec m_header;
};
