#include "apfs/ApfsBTreeNode.h"

#include "apfs/ApfsLayout.h"

namespace apfs {

namespace {

constexpr std::uint64_t kOmapLeafValueTag = 0x0000100000000000ull;  // flags 0, size 4096

// Where the table of contents ends, or 0 when it does not fit the node.
std::size_t TocEnd(const ByteView& node, const NodeHeader& h, std::size_t valueAreaEnd) {
  const std::size_t end = kNodeData + static_cast<std::size_t>(h.tocOffset) + h.tocLength;
  if (end > valueAreaEnd || end > node.Size()) return 0;
  return end;
}

bool EntryInToc(const NodeHeader& h, std::uint32_t index, std::size_t entrySize) {
  return (static_cast<std::size_t>(index) + 1) * entrySize <= h.tocLength;
}

std::size_t TocEntry(const NodeHeader& h, std::uint32_t index, std::size_t entrySize) {
  return kNodeData + static_cast<std::size_t>(h.tocOffset) + static_cast<std::size_t>(index) * entrySize;
}

}  // namespace

NodeHeader DecodeNodeHeader(const ByteView& node) {
  NodeHeader h;
  if (!node.Has(0, kNodeData)) return h;
  h.flags = node.U16Le(kNodeFlags);
  h.level = node.U16Le(kNodeLevel);
  h.keyCount = node.U32Le(kNodeKeyCount);
  h.tocOffset = node.U16Le(kNodeTocOffset);
  h.tocLength = node.U16Le(kNodeTocLength);
  return h;
}

std::optional<EntrySpan> VariableEntry(const ByteView& node, const NodeHeader& h, std::uint32_t index) {
  const std::size_t size = node.Size();
  if (size < kNodeData + kTreeInfoSize) return std::nullopt;
  const bool root = (h.flags & kNodeRoot) != 0;
  const std::size_t areaEnd = size - (root ? kTreeInfoSize : 0);
  const std::size_t tocEnd = TocEnd(node, h, areaEnd);
  if (tocEnd == 0 || !EntryInToc(h, index, kVariableTocEntry)) return std::nullopt;
  const std::size_t at = TocEntry(h, index, kVariableTocEntry);
  const std::size_t keyOff = node.U16Le(at);
  const std::size_t keyLen = node.U16Le(at + 2);
  const std::size_t valueOff = node.U16Le(at + 4);
  const std::size_t valueLen = node.U16Le(at + 6);
  const std::size_t k = tocEnd + keyOff;
  if (keyLen == 0 || k >= areaEnd || keyLen > areaEnd - k) return std::nullopt;
  if (valueOff == 0 || valueOff > areaEnd) return std::nullopt;
  const std::size_t v = areaEnd - valueOff;
  if (valueLen > areaEnd - v) return std::nullopt;
  return EntrySpan{node.Sub(k, keyLen), node.Sub(v, valueLen)};
}

OmapChildren ListOmapNode(const ByteView& node) {
  OmapChildren out;
  const NodeHeader h = DecodeNodeHeader(node);
  const std::size_t size = node.Size();
  if (size < kNodeData + kTreeInfoSize) return out;
  const std::uint32_t count = h.keyCount < kMaxEntries ? h.keyCount : kMaxEntries;
  switch (h.flags) {
    case kNodeFixed:
    case kNodeFixed | kNodeRoot: {
      const std::size_t areaEnd = size - (h.flags == (kNodeFixed | kNodeRoot) ? kTreeInfoSize : 0);
      const std::size_t tocEnd = TocEnd(node, h, areaEnd);
      if (tocEnd == 0) break;
      for (std::uint32_t i = 0; i < count && EntryInToc(h, i, kFixedTocEntry); ++i) {
        const std::size_t at = TocEntry(h, i, kFixedTocEntry);
        const std::size_t keyOff = node.U16Le(at);
        const std::size_t valueOff = node.U16Le(at + 2);
        if (valueOff == 0 || valueOff > areaEnd || tocEnd + keyOff >= areaEnd) continue;
        const std::size_t p = areaEnd - valueOff;
        if (!node.Has(p, 8)) continue;
        out.blocks.push_back(node.U64Le(p));
      }
      break;
    }
    case kNodeFixed | kNodeLeaf: {
      const std::size_t tocEnd = TocEnd(node, h, size);
      if (tocEnd == 0 || !EntryInToc(h, 0, kFixedTocEntry)) break;
      const std::size_t low = tocEnd + node.U16Le(TocEntry(h, 0, kFixedTocEntry));
      if (low >= size - kOmapValueSize) break;
      for (std::size_t slot = size - kOmapValueSize; slot > low; slot -= kOmapValueSize) {
        if (node.U64Le(slot) == kOmapLeafValueTag) out.blocks.push_back(node.U64Le(slot + 8));
        if (slot < kOmapValueSize) break;
      }
      break;
    }
    case kNodeFixed | kNodeLeaf | kNodeRoot:
      out.blocks = ListOmapRootValues(node);
      break;
    default:
      out.unknownFlags = true;
      break;
  }
  return out;
}

std::vector<std::uint64_t> ListOmapRootValues(const ByteView& node) {
  std::vector<std::uint64_t> blocks;
  const NodeHeader h = DecodeNodeHeader(node);
  const std::size_t size = node.Size();
  if (size < kNodeData + kTreeInfoSize) return blocks;
  const std::size_t areaEnd = size - kTreeInfoSize;
  const std::size_t tocEnd = TocEnd(node, h, areaEnd);
  if (tocEnd == 0) return blocks;
  const std::uint32_t count = h.keyCount < kMaxEntries ? h.keyCount : kMaxEntries;
  for (std::uint32_t i = 0; i < count && EntryInToc(h, i, kFixedTocEntry); ++i) {
    const std::size_t valueOff = node.U16Le(TocEntry(h, i, kFixedTocEntry) + 2);
    // The value (flags, size, physical block) must lie inside the value area.
    if (valueOff < kOmapValueSize || valueOff > areaEnd - tocEnd) break;
    blocks.push_back(node.U64Le(areaEnd - valueOff + 8));
  }
  return blocks;
}

}  // namespace apfs
