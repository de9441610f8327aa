#include "bridge/QVTimeMgr.h"

#include <strings.h>

#include <cstdio>
#include <ctime>

#include "bridge/QVPublic.h"
#include "bridge/QVUIScan.h"

namespace {

std::string Format(const char* format, int value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, format, value);
  return buf;
}

}  // namespace

QVTimeMgr* QVTimeMgr::share() {
  static QVTimeMgr object;
  return &object;
}

std::map<int, OpNodePtr>& QVTimeMgr::years(int keyType) {
  return keyType == kOpNodeModifyDate ? modifyYearTimeDic : createYearTimeDic;
}

std::map<OpNodeData*, std::map<int, OpNodePtr>>& QVTimeMgr::months(int keyType) {
  return keyType == kOpNodeModifyDate ? modifyMonthTimeDic : createMonthTimeDic;
}

std::map<int, std::size_t>* QVTimeMgr::indexMap(int keyType) {
  switch (keyType) {
    case kOpNodeCreateDate:
      return &createTimeMap;
    case kOpNodeModifyDate:
      return &modifyTimeMap;
    case 4:
      return &accessTimeMap;
    default:
      return nullptr;
  }
}

const std::map<int, std::size_t>* QVTimeMgr::indexMap(int keyType) const {
  return const_cast<QVTimeMgr*>(this)->indexMap(keyType);
}

std::int64_t QVTimeMgr::TimeOfMonth(int year, int month) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = 15;
  tm.tm_hour = 12;
  tm.tm_isdst = -1;
  return static_cast<std::int64_t>(std::mktime(&tm));
}

void QVTimeMgr::refreshTimeTree(OpNodeData* root, int keyType) {
  if (root == nullptr || (keyType != kOpNodeCreateDate && keyType != kOpNodeModifyDate)) return;
  _iKeyType = keyType;
  QVUIScan* scan = QVUIScan::instance();
  const QVTimeMap map = keyType == kOpNodeCreateDate ? scan->GetCreateTimeMap() : scan->GetModifyTimeMap();
  for (const auto& [year, monthsOfYear] : map) {
    for (const auto& [month, nodes] : monthsOfYear) {
      for (std::size_t i = getIndex(year, month, keyType); i < nodes.size(); ++i) {
        setIndex(i + 1, year, month, keyType);
        IFileNode* node = nodes[i];
        if (node == nullptr || node->IsDirectory()) continue;
        const long long t = keyType == kOpNodeCreateDate ? node->GetCreationTime() : node->GetModificationTime();
        if (t == 0 || node->IsNodeShow() == 0) continue;
        AddFileNode(node, root);
      }
    }
  }
}

void QVTimeMgr::AddFileNode(IFileNode* node, OpNodeData* root) {
  if (node == nullptr || root == nullptr) return;
  long long t = 0;
  if (_iKeyType == kOpNodeCreateDate)
    t = node->GetCreationTime();
  else if (_iKeyType == kOpNodeModifyDate)
    t = node->GetModificationTime();
  else
    return;
  int year = 0;
  int month = 0;
  QVCPPPublic::instance()->GetYearMonthByFileTime(&year, &month, static_cast<std::uint64_t>(t));
  if (year < 1 || month < 1) return;
  auto& yearDict = years(_iKeyType);
  const auto y = yearDict.find(year);
  OpNodePtr monthItem;
  if (y == yearDict.end()) {
    OpNodePtr yearItem = insertYear(year, root);
    monthItem = insertMonth(month, year, yearItem.get());
  } else {
    auto& monthDict = months(_iKeyType)[y->second.get()];
    const auto m = monthDict.find(month);
    monthItem = m != monthDict.end() ? m->second : insertMonth(month, year, y->second.get());
  }
  monthItem->addChildObject(node);
}

OpNodePtr QVTimeMgr::insertYear(int year, OpNodeData* root) {
  __TreeNodeData__ record;
  record.isDirectory = 1;
  record.isDeleted = 1;
  record.isFileSystem = 0;
  OpNodePtr item = OpNodeData::initWithNodeData(record);
  item->setType(_iKeyType);
  item->setFadeName(Format("%04d", year));
  item->setSubNode(std::make_shared<OpNodeList>());
  item->setExpandAble(1);
  item->setParent(root);
  OpNodeList& list = root->ensureChildren();
  const int at = GetDateInsertIndex(item->name(), list);
  if (at < 0)
    list.push_back(item);
  else
    list.insert(list.begin() + at, item);
  years(_iKeyType)[year] = item;
  return item;
}

OpNodePtr QVTimeMgr::insertMonth(int month, int year, OpNodeData* yearItem) {
  __TreeNodeData__ record;
  record.isDirectory = 1;
  record.isDeleted = 1;
  record.isFileSystem = 0;
  OpNodePtr item = OpNodeData::initWithNodeData(record);
  item->setParent(yearItem);
  item->setType(_iKeyType);
  item->setFadeName(Format("%02d", month));
  item->setExpandAble(0);
  const std::int64_t t = TimeOfMonth(year, month);
  if (_iKeyType == kOpNodeCreateDate) {
    item->setCreateTime(t);
    yearItem->setCreateTime(t);
  } else {
    item->setModifyTime(t);
    yearItem->setModifyTime(t);
  }
  OpNodeList& list = yearItem->ensureChildren();
  const int at = GetDateInsertIndex(item->name(), list);
  if (at < 0)
    list.push_back(item);
  else
    list.insert(list.begin() + at, item);
  months(_iKeyType)[yearItem][month] = item;
  return item;
}

int QVTimeMgr::GetDateInsertIndex(const std::string& name, const OpNodeList& items) {
  for (std::size_t i = 0; i < items.size(); ++i) {
    const OpNodeData* item = OpNodeItemOf(items[i]);
    if (item == nullptr) continue;
    if (strcasecmp(item->name().c_str(), name.c_str()) > 0) return static_cast<int>(i);
  }
  return -1;
}

std::size_t QVTimeMgr::getIndex(int year, int month, int keyType) const {
  const auto* map = indexMap(keyType);
  if (map == nullptr) return 0;
  const auto it = map->find(year * 100 + month);
  return it == map->end() ? 0 : it->second;
}

void QVTimeMgr::setIndex(std::size_t index, int year, int month, int keyType) {
  if (auto* map = indexMap(keyType)) (*map)[year * 100 + month] = index;
}

void QVTimeMgr::initMap() {
  createTimeMap.clear();
  modifyTimeMap.clear();
  accessTimeMap.clear();
}

void QVTimeMgr::clear() {
  initMap();
  createYearTimeDic.clear();
  createMonthTimeDic.clear();
  modifyYearTimeDic.clear();
  modifyMonthTimeDic.clear();
  iCreateTimeTreeNeedRefresh = 1;
  iModifyTimeTeeeNeedRefresh = 1;
}

void QVTimeMgr::clearTree(int keyType) {
  years(keyType).clear();
  months(keyType).clear();
  if (auto* map = indexMap(keyType)) map->clear();
}

void QVTimeMgr::setSearch(int) { clear(); }

void QVTimeMgr::QVSetNeedRefreshTree() {
  switch (QVUIScan::instance()->GetScanType()) {
    case 2:
      iModifyTimeTeeeNeedRefresh = 1;
      break;
    case 3:
      iCreateTimeTreeNeedRefresh = 1;
      break;
    default:
      iCreateTimeTreeNeedRefresh = 1;
      iModifyTimeTeeeNeedRefresh = 1;
      break;
  }
}

void QVTimeMgr::QVResetNeedRefreshTree() {
  switch (QVUIScan::instance()->GetScanType()) {
    case 2:
      iCreateTimeTreeNeedRefresh = 0;
      break;
    case 3:
      iModifyTimeTeeeNeedRefresh = 0;
      break;
    default:
      break;
  }
}

int QVTimeMgr::QVGetNeedRefreshTree() const {
  switch (QVUIScan::instance()->GetScanType()) {
    case 2:
      return iCreateTimeTreeNeedRefresh;
    case 3:
      return iModifyTimeTeeeNeedRefresh;
    default:
      return 1;
  }
}
