#pragma once
// The three B-trees of a volume with their keys and records.

#include <memory>
#include <optional>

#include "hfsplus/AttributeKey.h"
#include "hfsplus/CatalogKey.h"
#include "hfsplus/CatalogRecord.h"
#include "hfsplus/ExtentKey.h"
#include "hfsplus/HfsPlusBTree.h"
#include "hfsplus/HfsPlusResult.h"

class CHFSPlusBTreeOptionBase {
 public:
  explicit CHFSPlusBTreeOptionBase(CHFSPlusRawfile* file) : m_tree(file) {}
  virtual ~CHFSPlusBTreeOptionBase() = default;

  RESULT GetLastError() const { return m_tree.GetLastError(); }
  const BTHeaderRec& GetHeaderRec() const { return m_tree.GetHeaderRec(); }
  std::uint32_t GetRoot() const { return m_tree.GetHeaderRec().rootNode; }
  CHFSPlusBTree& Tree() { return m_tree; }

 protected:
  // The one search of the three keyed trees: `decode` reads a record's key
  // (nothing when unreadable), `compare` orders it against `key`, and the
  // leaf record found is decoded by `read` into `record` when one is asked for.
  template <class Key, class Record, class Decode, class Compare, class Read>
  RESULT SearchKeyed(const Key& key, Decode decode, Compare compare, Read read, HFSPlusSearchResult& result,
                     Record* record);

  CHFSPlusBTree m_tree;
};

template <class Key, class Record, class Decode, class Compare, class Read>
RESULT CHFSPlusBTreeOptionBase::SearchKeyed(const Key& key, Decode decode, Compare compare, Read read,
                                            HFSPlusSearchResult& result, Record* record) {
  std::unique_ptr<CHFSPlusBTNode> leaf;
  const RESULT rc = m_tree.Search(
      [&](const ByteView& r, bool& bad) {
        const auto k = decode(r);
        if (!k) {
          bad = true;
          return 0;
        }
        return compare(*k, key);
      },
      result, &leaf);
  if (result::Failed(rc) || result.found == 0 || record == nullptr) return rc;
  const auto data = read(*leaf, result.recordIndex);
  if (!data) return HFS_FAIL(kHfsFormat);
  *record = *data;
  return rc;
}

class CHFSPlusCatalog : public CHFSPlusBTreeOptionBase {
 public:
  // `binary`: HFSX with binary compare; every other catalog folds case.
  CHFSPlusCatalog(CHFSPlusRawfile* file, bool hfsx);
  int Compare(const HFSPlusCatalogKey& a, const HFSPlusCatalogKey& b) const;

  // Key and record of one leaf record (nothing when unreadable).
  static std::optional<HFSPlusCatalogKey> KeyRead(const CHFSPlusBTNode& node, std::size_t index);
  static std::optional<HFSPlusCatalogRecord> DataRead(const CHFSPlusBTNode& node, std::size_t index);
  RESULT Search(const HFSPlusCatalogKey& key, HFSPlusSearchResult& result, HFSPlusCatalogRecord* record);

 private:
  bool m_binary = false;
};

class CHFSPlusExtents : public CHFSPlusBTreeOptionBase {
 public:
  using CHFSPlusBTreeOptionBase::CHFSPlusBTreeOptionBase;
  static std::optional<HFSPlusExtentKey> KeyRead(const CHFSPlusBTNode& node, std::size_t index);
  static std::optional<HFSPlusExtentRecord> DataRead(const CHFSPlusBTNode& node, std::size_t index);
  RESULT Search(const HFSPlusExtentKey& key, HFSPlusSearchResult& result, HFSPlusExtentRecord* record);
};

class CHFSPlusAttribute : public CHFSPlusBTreeOptionBase {
 public:
  using CHFSPlusBTreeOptionBase::CHFSPlusBTreeOptionBase;
  static std::optional<HFSPlusAttrKey> KeyRead(const CHFSPlusBTNode& node, std::size_t index);
  static std::optional<HFSPlusAttrRecord> DataRead(const CHFSPlusBTNode& node, std::size_t index);
  RESULT Search(const HFSPlusAttrKey& key, HFSPlusSearchResult& result, HFSPlusAttrRecord* record);
};
