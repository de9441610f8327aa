#include "hfsplus/HfsPlusTrees.h"

#include "hfsplus/HfsPlusLayout.h"

namespace {

// The bytes after a leaf record's key.
ByteView RecordData(const ByteView& record) {
  if (!record.Has(0, 2)) return record.Sub(record.Size(), 1);
  const std::size_t at = RecordDataOffset(record.U16Be(0));
  if (at > record.Size()) return record.Sub(record.Size(), 1);
  return record.Sub(at, record.Size() - at);
}

// One leaf record of a keyed tree: its key must decode (`key`), then `data`
// decodes what it holds; nothing when the node is no leaf or either fails.
template <class Key, class Data>
auto LeafRecord(const CHFSPlusBTNode& node, std::size_t index, Key key, Data data) -> decltype(data(ByteView())) {
  if (!node.IsLeaf()) return std::nullopt;
  const ByteView record = node.GetRecord(index);
  if (!key(record)) return std::nullopt;
  return data(record);
}

}  // namespace

CHFSPlusCatalog::CHFSPlusCatalog(CHFSPlusRawfile* file, bool hfsx) : CHFSPlusBTreeOptionBase(file) {
  m_binary = hfsx && m_tree.GetHeaderRec().keyCompareType == hfs::kBinaryCompare;
}

int CHFSPlusCatalog::Compare(const HFSPlusCatalogKey& a, const HFSPlusCatalogKey& b) const {
  return CompareCatalogKeys(a, b, m_binary);
}

std::optional<HFSPlusCatalogKey> CHFSPlusCatalog::KeyRead(const CHFSPlusBTNode& node, std::size_t index) {
  return DecodeCatalogKey(node.GetRecord(index));
}

std::optional<HFSPlusCatalogRecord> CHFSPlusCatalog::DataRead(const CHFSPlusBTNode& node, std::size_t index) {
  return LeafRecord(node, index, DecodeCatalogKey,
                    [](const ByteView& record) { return DecodeCatalogRecord(RecordData(record)); });
}

RESULT CHFSPlusCatalog::Search(const HFSPlusCatalogKey& key, HFSPlusSearchResult& result,
                               HFSPlusCatalogRecord* record) {
  return SearchKeyed(
      key, DecodeCatalogKey, [this](const HFSPlusCatalogKey& a, const HFSPlusCatalogKey& b) { return Compare(a, b); },
      DataRead, result, record);
}

std::optional<HFSPlusExtentKey> CHFSPlusExtents::KeyRead(const CHFSPlusBTNode& node, std::size_t index) {
  return DecodeExtentKey(node.GetRecord(index));
}

std::optional<HFSPlusExtentRecord> CHFSPlusExtents::DataRead(const CHFSPlusBTNode& node, std::size_t index) {
  return LeafRecord(node, index, DecodeExtentKey, [](const ByteView& record) -> std::optional<HFSPlusExtentRecord> {
    if (!record.Has(hfs::kExtentKeySize, hfs::kExtentRecordSize)) return std::nullopt;
    return DecodeExtentRecord(record, hfs::kExtentKeySize);
  });
}

RESULT CHFSPlusExtents::Search(const HFSPlusExtentKey& key, HFSPlusSearchResult& result, HFSPlusExtentRecord* record) {
  return SearchKeyed(key, DecodeExtentKey, CompareExtentKeys, DataRead, result, record);
}

std::optional<HFSPlusAttrKey> CHFSPlusAttribute::KeyRead(const CHFSPlusBTNode& node, std::size_t index) {
  return DecodeAttrKey(node.GetRecord(index));
}

std::optional<HFSPlusAttrRecord> CHFSPlusAttribute::DataRead(const CHFSPlusBTNode& node, std::size_t index) {
  return LeafRecord(node, index, DecodeAttrKey,
                    [](const ByteView& record) { return DecodeAttrRecord(RecordData(record)); });
}

RESULT CHFSPlusAttribute::Search(const HFSPlusAttrKey& key, HFSPlusSearchResult& result, HFSPlusAttrRecord* record) {
  return SearchKeyed(key, DecodeAttrKey, CompareAttrKeys, DataRead, result, record);
}
