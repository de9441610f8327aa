#include "hfsplus/BTreeNode.h"

#include "hfsplus/HfsPlusLayout.h"

BTNodeDescriptor DecodeNodeDescriptor(const ByteView& b) {
  BTNodeDescriptor d;
  d.fLink = b.U32Be(0);
  d.bLink = b.U32Be(4);
  d.kind = static_cast<std::int8_t>(b.U8(8));
  d.height = b.U8(9);
  d.numRecords = b.U16Be(10);
  d.reserved = b.U16Be(12);
  return d;
}

std::optional<BTHeaderRec> DecodeHeaderRecord(const ByteView& r) {
  if (!r.Has(0, hfs::kHeaderRecordSize)) return std::nullopt;
  BTHeaderRec h;
  h.treeDepth = r.U16Be(0);
  h.rootNode = r.U32Be(2);
  h.leafRecords = r.U32Be(6);
  h.firstLeafNode = r.U32Be(10);
  h.lastLeafNode = r.U32Be(14);
  h.nodeSize = r.U16Be(18);
  h.maxKeyLength = r.U16Be(20);
  h.totalNodes = r.U32Be(22);
  h.freeNodes = r.U32Be(26);
  h.clumpSize = r.U32Be(32);
  h.btreeType = r.U8(36);
  h.keyCompareType = r.U8(37);
  h.attributes = r.U32Be(38);
  return h;
}

bool IsValidNodeSize(std::uint32_t nodeSize) {
  return nodeSize >= hfs::kMinNodeSize && nodeSize <= hfs::kMaxNodeSize && (nodeSize & (nodeSize - 1)) == 0;
}

bool CHFSPlusBTNode::ReadOffsets(const ByteView& bytes, std::uint32_t nodeSize, BTNodeDescriptor& d,
                                 std::vector<std::uint16_t>& offsets) {
  if (!IsValidNodeSize(nodeSize) || bytes.Size() != nodeSize) return false;
  d = DecodeNodeDescriptor(bytes);
  switch (d.kind) {
    case hfs::kLeafNode:
      if (d.height != 1) return false;
      break;
    case hfs::kHeaderNode:
    case hfs::kMapNode:
      if (d.height != 0) return false;
      break;
    case hfs::kIndexNode:
      if (d.height < 2 || d.height > hfs::kMaxTreeDepth) return false;
      break;
    default:
      return false;
  }
  // The descriptor, the records and the n + 1 offsets must all fit.
  const std::size_t slots = static_cast<std::size_t>(d.numRecords) + 1;
  if (hfs::kNodeDescriptorSize + 2 * slots > nodeSize) return false;
  const std::size_t tableStart = nodeSize - 2 * slots;
  offsets.resize(slots);
  for (std::size_t i = 0; i < slots; ++i) offsets[i] = bytes.U16Be(nodeSize - 2 * (i + 1));
  if (offsets[0] != hfs::kNodeDescriptorSize) return false;
  for (std::size_t i = 1; i < slots; ++i) {
    if (offsets[i] <= offsets[i - 1] || offsets[i] > tableStart) return false;
  }
  return true;
}

bool CHFSPlusBTNode::IsValidNode(const ByteView& bytes, std::uint32_t nodeSize) {
  BTNodeDescriptor d;
  std::vector<std::uint16_t> offsets;
  return ReadOffsets(bytes, nodeSize, d, offsets);
}

std::unique_ptr<CHFSPlusBTNode> CHFSPlusBTNode::Create(std::vector<std::uint8_t> bytes, std::uint32_t nodeSize) {
  std::unique_ptr<CHFSPlusBTNode> node(new CHFSPlusBTNode());
  const ByteView view(bytes.data(), bytes.size());
  if (!ReadOffsets(view, nodeSize, node->m_descriptor, node->m_offsets)) return nullptr;
  node->m_bytes = std::move(bytes);
  return node;
}

ByteView CHFSPlusBTNode::GetRecord(std::size_t index) const {
  const ByteView all = Bytes();
  if (index >= m_descriptor.numRecords) return all.Sub(all.Size(), 1);
  return all.Sub(m_offsets[index], static_cast<std::size_t>(m_offsets[index + 1]) - m_offsets[index]);
}
