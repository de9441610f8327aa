#pragma once
// The three B-trees of a volume with their keys and records.

#include <memory>
#include <optional>

#include "hfsplus/AttributeKey.h"
#include "hfsplus/CatalogKey.h"
#include "hfsplus/CatalogRecord.h"
#include "hfsplus/ExtentKey.h"
#include "hfsplus/HfsPlusBTree.h"

class CHFSPlusBTreeOptionBase {
 public:
  explicit CHFSPlusBTreeOptionBase(CHFSPlusRawfile* file) : m_tree(file) {}
  virtual ~CHFSPlusBTreeOptionBase() = default;

  RESULT GetLastError() const { return m_tree.GetLastError(); }
  const BTHeaderRec& GetHeaderRec() const { return m_tree.GetHeaderRec(); }
  std::uint32_t GetRoot() const { return m_tree.GetHeaderRec().rootNode; }
  CHFSPlusBTree& Tree() { return m_tree; }

 protected:
  CHFSPlusBTree m_tree;
};

class CHFSPlusCatalog : public CHFSPlusBTreeOptionBase {
 public:
  // `binary`: HFSX with binary compare; every other catalog folds case.
  CHFSPlusCatalog(CHFSPlusRawfile* file, bool hfsx);
  bool IsBinary() const { return m_binary; }
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
