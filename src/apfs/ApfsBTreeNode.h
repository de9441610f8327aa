#pragma once
// Pure decoding of one APFS B-tree node: its header, table of contents and
// the key and value of each entry, every one bounded inside the node.

#include <cstdint>
#include <optional>
#include <vector>

#include "core/util/ByteView.h"

namespace apfs {

struct NodeHeader {
  std::uint16_t flags = 0;
  std::uint16_t level = 0;
  std::uint32_t keyCount = 0;
  std::uint16_t tocOffset = 0;
  std::uint16_t tocLength = 0;
};

[[nodiscard]] NodeHeader DecodeNodeHeader(const ByteView& node);

struct EntrySpan {
  ByteView key;
  ByteView value;
};

// Entry `index` of a node with variable-size entries (file-system trees).
// Null when its table entry, key or value does not lie inside the node.
[[nodiscard]] std::optional<EntrySpan> VariableEntry(const ByteView& node, const NodeHeader& header,
                                                     std::uint32_t index);

// Result of listing the blocks an object-map node points at.
struct OmapChildren {
  std::vector<std::uint64_t> blocks;
  bool unknownFlags = false;
};

// Child nodes of an object-map index node, or the mapped physical blocks of
// an object-map leaf (flags 4/5 index, 6 leaf, 7 root leaf).
[[nodiscard]] OmapChildren ListOmapNode(const ByteView& node);

// The physical blocks named by the entries of a container object-map root.
[[nodiscard]] std::vector<std::uint64_t> ListOmapRootValues(const ByteView& node);

}  // namespace apfs
