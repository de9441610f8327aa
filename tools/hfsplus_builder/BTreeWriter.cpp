#include "hfsplus_builder/BTreeWriter.h"

#include <stdexcept>

namespace hfsbuilder {

namespace {

constexpr std::size_t kDescriptor = 14;

Bytes Node(std::int8_t kind, std::uint8_t height, const std::vector<Bytes>& records, std::uint16_t nodeSize,
           std::uint32_t fLink, std::uint32_t bLink) {
  Bytes n(nodeSize, 0);
  PutBe32(n, 0, fLink);
  PutBe32(n, 4, bLink);
  n[8] = static_cast<std::uint8_t>(kind);
  n[9] = height;
  PutBe16(n, 10, static_cast<std::uint16_t>(records.size()));
  std::size_t off = kDescriptor;
  std::vector<std::size_t> offsets;
  for (const Bytes& r : records) {
    offsets.push_back(off);
    if (off + r.size() > nodeSize) throw std::runtime_error("record does not fit the node");
    std::copy(r.begin(), r.end(), n.begin() + static_cast<long>(off));
    off += r.size();
    off += off & 1;
  }
  offsets.push_back(off);
  if (off + 2 * offsets.size() > nodeSize) throw std::runtime_error("node overflow");
  for (std::size_t i = 0; i < offsets.size(); ++i)
    PutBe16(n, nodeSize - 2 * (i + 1), static_cast<std::uint16_t>(offsets[i]));
  return n;
}

// Groups records into leaves that fit.
std::vector<std::vector<Bytes>> Pack(const std::vector<Bytes>& records, std::uint16_t nodeSize) {
  std::vector<std::vector<Bytes>> groups(1);
  std::size_t used = kDescriptor + 2;
  for (const Bytes& r : records) {
    const std::size_t need = r.size() + (r.size() & 1) + 2;
    if (used + need > nodeSize && !groups.back().empty()) {
      groups.emplace_back();
      used = kDescriptor + 2;
    }
    groups.back().push_back(r);
    used += need;
  }
  return groups;
}

std::vector<Bytes> Joined(const std::vector<TreeRecord>& records) {
  std::vector<Bytes> out;
  for (const auto& r : records) {
    Bytes b = r.key;
    if (b.size() & 1) b.push_back(0);
    Append(b, r.data);
    out.push_back(std::move(b));
  }
  return out;
}

}  // namespace

std::uint32_t NodesNeeded(const std::vector<TreeRecord>& records, const TreeShape& shape) {
  if (records.empty()) return 1;
  const auto leaves = Pack(Joined(records), shape.nodeSize).size();
  return static_cast<std::uint32_t>(1 + leaves + (leaves > 1 ? 1 : 0));
}

std::vector<std::uint32_t> LeafNodes(const std::vector<TreeRecord>& records, const TreeShape& shape) {
  std::vector<std::uint32_t> out;
  if (records.empty()) return out;
  const auto leaves = Pack(Joined(records), shape.nodeSize).size();
  for (std::uint32_t i = 0; i < leaves; ++i) out.push_back(1 + i);
  return out;
}

std::vector<Bytes> WriteTree(const std::vector<TreeRecord>& records, const TreeShape& shape, std::uint32_t totalNodes) {
  const std::uint16_t ns = shape.nodeSize;
  std::vector<Bytes> nodes;
  nodes.emplace_back();  // header, written last
  std::uint16_t depth = 0;
  std::uint32_t root = 0;
  std::uint32_t firstLeaf = 0;
  std::uint32_t lastLeaf = 0;
  if (!records.empty()) {
    const auto groups = Pack(Joined(records), ns);
    const auto leafCount = static_cast<std::uint32_t>(groups.size());
    // Group starts, to make index keys.
    std::vector<std::size_t> firstRecord;
    std::size_t k = 0;
    for (const auto& g : groups) {
      firstRecord.push_back(k);
      k += g.size();
    }
    for (std::uint32_t i = 0; i < leafCount; ++i) {
      const std::uint32_t n = 1 + i;
      nodes.push_back(Node(-1, 1, groups[i], ns, i + 1 < leafCount ? n + 1 : 0, i > 0 ? n - 1 : 0));
    }
    firstLeaf = 1;
    lastLeaf = leafCount;
    depth = 1;
    root = 1;
    if (leafCount > 1) {
      std::vector<Bytes> index;
      for (std::uint32_t i = 0; i < leafCount; ++i) {
        Bytes key = records[firstRecord[i]].key;
        if (!shape.variableIndexKeys) {
          key.resize(static_cast<std::size_t>(shape.maxKeyLength) + 2, 0);
          PutBe16(key, 0, shape.maxKeyLength);
        }
        if (key.size() & 1) key.push_back(0);
        AppendBe32(key, 1 + i);
        index.push_back(std::move(key));
      }
      nodes.push_back(Node(0, 2, index, ns, 0, 0));
      root = leafCount + 1;
      depth = 2;
    }
  }
  const auto used = static_cast<std::uint32_t>(nodes.size());
  if (totalNodes < used) totalNodes = used;
  while (nodes.size() < totalNodes) nodes.emplace_back(ns, 0);

  Bytes header(106, 0);
  PutBe16(header, 0, depth);
  PutBe32(header, 2, root);
  PutBe32(header, 6, static_cast<std::uint32_t>(records.size()));
  PutBe32(header, 10, firstLeaf);
  PutBe32(header, 14, lastLeaf);
  PutBe16(header, 18, ns);
  PutBe16(header, 20, shape.maxKeyLength);
  PutBe32(header, 22, totalNodes);
  PutBe32(header, 26, totalNodes - used);
  PutBe32(header, 32, ns);
  header[36] = shape.btreeType;
  header[37] = shape.keyCompareType;
  PutBe32(header, 38, shape.attributes);
  Bytes map(ns - 256, 0);
  for (std::uint32_t i = 0; i < used && i / 8 < map.size(); ++i)
    map[i / 8] |= static_cast<std::uint8_t>(0x80 >> (i % 8));
  nodes[0] = Node(1, 0, {header, Bytes(128, 0), map}, ns, 0, 0);
  return nodes;
}

}  // namespace hfsbuilder
