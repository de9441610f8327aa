#pragma once
// The creation-date and modification-date trees: year groups holding month
// groups holding file rows, filled incrementally from the scan's date maps.
// Runs under the tree lock.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "bridge/OpNodeData.h"

class QVTimeMgr {
 public:
  static QVTimeMgr* share();

  // Files the scan's new shown files of key type 2 (creation) or 3
  // (modification) under the root.
  void refreshTimeTree(OpNodeData* root, int keyType);
  void AddFileNode(IFileNode* node, OpNodeData* root);
  OpNodePtr insertYear(int year, OpNodeData* root);
  OpNodePtr insertMonth(int month, int year, OpNodeData* yearItem);
  // Sorted insertion index of a name; -1 for the end.
  static int GetDateInsertIndex(const std::string& name, const OpNodeList& items);
  std::size_t getIndex(int year, int month, int keyType) const;
  void setIndex(std::size_t index, int year, int month, int keyType);
  void initMap();
  void clear();
  // Forgets the groups and indexes of one tree (its root was replaced).
  void clearTree(int keyType);
  void setSearch(int flag);
  void QVSetNeedRefreshTree();
  void QVResetNeedRefreshTree();
  int QVGetNeedRefreshTree() const;
  // A time value whose local year and month are the given ones.
  static std::int64_t TimeOfMonth(int year, int month);

 private:
  QVTimeMgr() = default;
  std::map<int, OpNodePtr>& years(int keyType);
  std::map<OpNodeData*, std::map<int, OpNodePtr>>& months(int keyType);
  std::map<int, std::size_t>* indexMap(int keyType);
  const std::map<int, std::size_t>* indexMap(int keyType) const;

  std::map<int, OpNodePtr> createYearTimeDic;
  std::map<OpNodeData*, std::map<int, OpNodePtr>> createMonthTimeDic;
  std::map<int, OpNodePtr> modifyYearTimeDic;
  std::map<OpNodeData*, std::map<int, OpNodePtr>> modifyMonthTimeDic;
  std::map<int, std::size_t> createTimeMap;
  std::map<int, std::size_t> modifyTimeMap;
  std::map<int, std::size_t> accessTimeMap;
  int _iKeyType = 0;
  std::atomic<int> iCreateTimeTreeNeedRefresh{0};
  std::atomic<int> iModifyTimeTeeeNeedRefresh{0};
};
