#pragma once
// The category tree: category groups holding extension groups holding file
// rows (the other-files group holds its rows directly), filled incrementally
// from the scan's category map. Runs under the tree lock.

#include <atomic>
#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "bridge/OpNodeData.h"
#include "bridge/QVThumbnail.h"

class QVTypeMgr {
 public:
  static QVTypeMgr* share();

  // Replaces the category lists (category 1..32 → lower-case extensions) and
  // rebuilds the extension table; the groups are emptied.
  void setTypeLists(const std::map<int, std::vector<std::string>>& lists);
  // The category's extensions joined with ";"; false when the category has
  // no list.
  bool getTypeString(int category, std::string& out) const;
  // The icon of an extension the table knows; false for an unknown one.
  bool getImageForType(const std::string& ext, bridge::Image& out);
  // The category an extension belongs to; 64 when unknown.
  int categoryOfExt(const std::string& ext) const;

  // The seven category groups, 1 to 64 in order.
  OpNodeArray getRootNode() const;
  // Files the scan's shown nodes not listed yet.
  void refreshTypeTree();
  OpNodePtr insertSubNodeToTree(const std::string& ext);
  // Recomputes a group whose children are file rows.
  void setNodeState(OpNodeData* group);
  void refreshTypeTreeState();
  bool isOtherNode(const OpNodeData* item) const;
  void clear();
  void clearData();
  void setSearch(int flag);
  void QVSetNeedRefreshTree() { m_iNeedRefreshTree = 1; }
  // The extension group of an extension, or null.
  OpNodePtr subNode(const std::string& ext) const;
  OpNodePtr rootNode(unsigned category) const;

 private:
  QVTypeMgr();
  void createRootNodes();

  std::map<std::string, int> typeDict;
  std::map<int, std::vector<std::string>> dic;
  std::map<unsigned, OpNodePtr> rootNode_;
  std::map<std::string, OpNodePtr> subNodeDict;
  std::map<std::string, bridge::Image> imgDict;
  std::map<IFileNode*, int> insertFileNodeMap;
  int bSearch = 0;
  std::map<unsigned, std::size_t> typeIndexMap;
  std::atomic<int> m_iNeedRefreshTree{0};
};

inline constexpr unsigned kTypeCategories[7] = {1, 2, 4, 8, 16, 32, 64};
