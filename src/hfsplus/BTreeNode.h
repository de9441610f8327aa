#pragma once
// One B-tree node: its descriptor, its record offsets and its records, all
// checked when the node is built.

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "core/util/ByteView.h"

struct BTNodeDescriptor {
  std::uint32_t fLink = 0;
  std::uint32_t bLink = 0;
  std::int8_t kind = 0;
  std::uint8_t height = 0;
  std::uint16_t numRecords = 0;
  std::uint16_t reserved = 0;
};

struct BTHeaderRec {
  std::uint16_t treeDepth = 0;
  std::uint32_t rootNode = 0;
  std::uint32_t leafRecords = 0;
  std::uint32_t firstLeafNode = 0;
  std::uint32_t lastLeafNode = 0;
  std::uint16_t nodeSize = 0;
  std::uint16_t maxKeyLength = 0;
  std::uint32_t totalNodes = 0;
  std::uint32_t freeNodes = 0;
  std::uint32_t clumpSize = 0;
  std::uint8_t btreeType = 0;
  std::uint8_t keyCompareType = 0;
  std::uint32_t attributes = 0;
};

[[nodiscard]] BTNodeDescriptor DecodeNodeDescriptor(const ByteView& bytes);
// The 106-byte header record; nothing when the view is shorter.
[[nodiscard]] std::optional<BTHeaderRec> DecodeHeaderRecord(const ByteView& record);

// True for a node size the engine accepts: a power of two in 512..32768.
[[nodiscard]] bool IsValidNodeSize(std::uint32_t nodeSize);

class CHFSPlusBTNode {
 public:
  // Checks `bytes` as a node of `nodeSize` bytes: size, kind and height,
  // record count, offsets strictly increasing from 14 and ending before the
  // offset table. Null when any check fails.
  [[nodiscard]] static std::unique_ptr<CHFSPlusBTNode> Create(std::vector<std::uint8_t> bytes, std::uint32_t nodeSize);
  // The same test without keeping the bytes.
  [[nodiscard]] static bool IsValidNode(const ByteView& bytes, std::uint32_t nodeSize);

  const BTNodeDescriptor& Descriptor() const { return m_descriptor; }
  std::uint16_t NumRecords() const { return m_descriptor.numRecords; }
  bool IsLeaf() const { return m_descriptor.kind == -1; }
  bool IsIndex() const { return m_descriptor.kind == 0; }
  std::uint32_t NodeSize() const { return static_cast<std::uint32_t>(m_bytes.size()); }

  // The bytes of record `index` (an empty view that is not Ok() past the last record).
  [[nodiscard]] ByteView GetRecord(std::size_t index) const;
  ByteView Bytes() const { return ByteView(m_bytes.data(), m_bytes.size()); }

 private:
  CHFSPlusBTNode() = default;
  // Offsets of records 0..n (the last one is the free-space offset).
  static bool ReadOffsets(const ByteView& bytes, std::uint32_t nodeSize, BTNodeDescriptor& d,
                          std::vector<std::uint16_t>& offsets);

  std::vector<std::uint8_t> m_bytes;
  BTNodeDescriptor m_descriptor;
  std::vector<std::uint16_t> m_offsets;
};
