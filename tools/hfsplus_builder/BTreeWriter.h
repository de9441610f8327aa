#pragma once
// Packs sorted leaf records into the nodes of one B-tree file: a header
// node, leaves and (when more than one leaf) one index level.

#include <cstdint>
#include <vector>

#include "hfsplus_builder/BigEndian.h"

namespace hfsbuilder {

struct TreeRecord {
  Bytes key;   // keyLength field included
  Bytes data;  // what follows the key
};

struct TreeShape {
  std::uint16_t nodeSize = 4096;
  std::uint16_t maxKeyLength = 516;
  std::uint8_t btreeType = 0;
  std::uint8_t keyCompareType = 0;
  std::uint32_t attributes = 6;  // big keys, variable index keys
  bool variableIndexKeys = true;
};

// The nodes of a tree holding `records` (already sorted), padded with free
// nodes to `totalNodes` (at least what is needed). Node 0 is the header.
std::vector<Bytes> WriteTree(const std::vector<TreeRecord>& records, const TreeShape& shape, std::uint32_t totalNodes);
// The number of nodes the records need.
std::uint32_t NodesNeeded(const std::vector<TreeRecord>& records, const TreeShape& shape);
// Node numbers of the leaves in a tree written by WriteTree.
std::vector<std::uint32_t> LeafNodes(const std::vector<TreeRecord>& records, const TreeShape& shape);

}  // namespace hfsbuilder
