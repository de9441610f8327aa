#include "bridge/QVTypeMgr.h"

#include <mutex>
#include <sstream>

#include "bridge/QVPublic.h"
#include "bridge/QVUIScan.h"
#include "core/filetype/DefaultFileTypes.h"

namespace {

std::mutex g_iconLock;

std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> out;
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, ';')) {
    if (!item.empty()) out.push_back(item);
  }
  return out;
}

}  // namespace

QVTypeMgr* QVTypeMgr::share() {
  static QVTypeMgr object;
  return &object;
}

QVTypeMgr::QVTypeMgr() {
  std::map<int, std::vector<std::string>> lists;
  for (const auto& [key, text] : DefaultFileTypeLists()) lists[key] = SplitList(text);
  createRootNodes();
  setTypeLists(lists);
}

void QVTypeMgr::createRootNodes() {
  for (unsigned category : kTypeCategories) {
    __TreeNodeData__ record;
    record.isDirectory = 1;
    record.isFileSystem = 0;
    OpNodePtr group = OpNodeData::initWithNodeData(record);
    group->setExpandAble(1);
    group->setFadeName(QVCPPPublic::instance()->FilterTypeToString(category));
    group->setType(kOpNodeCategory);
    group->setNodeState(kUnchecked);
    rootNode_[category] = group;
    typeIndexMap[category] = 0;
  }
}

void QVTypeMgr::setTypeLists(const std::map<int, std::vector<std::string>>& lists) {
  dic = lists;
  typeDict.clear();
  // Later categories win for an extension listed twice.
  for (int key : {1, 2, 4, 8, 16, 32}) {
    const auto it = dic.find(key);
    if (it == dic.end()) continue;
    for (const std::string& ext : it->second) typeDict[ext] = key;
  }
  {
    std::lock_guard g(g_iconLock);
    imgDict.clear();
  }
  clear();
}

bool QVTypeMgr::getTypeString(int category, std::string& out) const {
  const auto it = dic.find(category);
  if (it == dic.end()) return false;
  out.clear();
  for (std::size_t i = 0; i < it->second.size(); ++i) {
    if (i != 0) out += ";";
    out += it->second[i];
  }
  return true;
}

bool QVTypeMgr::getImageForType(const std::string& ext, bridge::Image& out) {
  if (typeDict.find(ext) == typeDict.end()) return false;
  std::lock_guard g(g_iconLock);
  auto it = imgDict.find(ext);
  if (it == imgDict.end()) it = imgDict.emplace(ext, bridge::ThumbnailMaker().IconForExtension(ext, 16)).first;
  out = it->second;
  return true;
}

int QVTypeMgr::categoryOfExt(const std::string& ext) const {
  const auto it = typeDict.find(ext);
  return it == typeDict.end() ? static_cast<int>(kFilterOther) : it->second;
}

OpNodeArray QVTypeMgr::getRootNode() const {
  OpNodeArray out;
  for (unsigned category : kTypeCategories) out.push_back(rootNode_.at(category));
  return out;
}

OpNodePtr QVTypeMgr::rootNode(unsigned category) const {
  const auto it = rootNode_.find(category);
  return it == rootNode_.end() ? nullptr : it->second;
}

OpNodePtr QVTypeMgr::subNode(const std::string& ext) const {
  const auto it = subNodeDict.find(ext);
  return it == subNodeDict.end() ? nullptr : it->second;
}

void QVTypeMgr::refreshTypeTree() {
  const QVTypeMap types = QVUIScan::instance()->GetTypeMap();
  OpNodeData* other = rootNode_.at(kFilterOther).get();
  for (const auto& [category, nodes] : types) {
    std::size_t i = typeIndexMap[category];
    for (; i < nodes.size(); ++i) {
      typeIndexMap[category] = i;
      IFileNode* node = nodes[i];
      if (node == nullptr || node->IsNodeShow() == 0) continue;
      if (!insertFileNodeMap.emplace(node, 1).second) continue;
      const std::string ext = QVUIScan::GetNodeExt(node);
      if (typeDict.find(ext) != typeDict.end()) {
        OpNodePtr group = subNode(ext);
        if (!group) group = insertSubNodeToTree(ext);
        group->addChildObject(node);
      } else {
        other->addChildObject(node);
      }
    }
  }
}

OpNodePtr QVTypeMgr::insertSubNodeToTree(const std::string& ext) {
  __TreeNodeData__ record;
  record.isDirectory = 1;
  record.isFileSystem = 0;
  OpNodePtr group = OpNodeData::initWithNodeData(record);
  group->setExpandAble(1);
  group->setFadeName(ext);
  group->setType(kOpNodeCategory);
  group->setNodeState(kUnchecked);
  OpNodeData* parent = rootNode_.at(static_cast<unsigned>(categoryOfExt(ext))).get();
  group->setParent(parent);
  parent->addChildObject(group);
  subNodeDict[ext] = group;
  return group;
}

void QVTypeMgr::setNodeState(OpNodeData* group) {
  if (group == nullptr) return;
  std::size_t n = 0;
  std::size_t c = 0;
  if (group->children()) {
    for (const OpNodeChild& child : *group->children()) {
      IFileNode* row = OpNodeRowOf(child);
      if (row == nullptr) continue;
      ++n;
      if (row->GetCheckedStatus() == kChecked) ++c;
    }
  }
  if (c > 0 && c == n)
    group->setNodeState(kChecked);
  else if (c > 0)
    group->setNodeState(kPartlyChecked);
  else
    group->setNodeState(kUnchecked);
}

void QVTypeMgr::refreshTypeTreeState() {
  if (m_iNeedRefreshTree.exchange(0) == 0) return;
  for (unsigned category : kTypeCategories) {
    OpNodeData* group = rootNode_.at(category).get();
    if (!group->children() || group->children()->empty()) continue;
    if (category == kFilterOther) {
      setNodeState(group);
      continue;
    }
    const OpNodeList subs = *group->children();
    for (const OpNodeChild& sub : subs) setNodeState(OpNodeItemOf(sub));
  }
}

bool QVTypeMgr::isOtherNode(const OpNodeData* item) const {
  return item != nullptr && item == rootNode_.at(kFilterOther).get();
}

void QVTypeMgr::clear() {
  subNodeDict.clear();
  for (auto& [category, group] : rootNode_) {
    if (group->children()) group->children()->clear();
  }
  bSearch = 0;
  insertFileNodeMap.clear();
  typeIndexMap.clear();
  for (unsigned category : kTypeCategories) typeIndexMap[category] = 0;
}

void QVTypeMgr::clearData() {
  for (unsigned category : kTypeCategories) rootNode_.at(category)->setNodeState(kUnchecked);
  for (unsigned category : kTypeCategories) {
    OpNodeData* group = rootNode_.at(category).get();
    if (!group->children()) continue;
    if (category != kFilterOther) {
      for (const OpNodeChild& sub : *group->children()) {
        OpNodeData* item = OpNodeItemOf(sub);
        if (item == nullptr) continue;
        subNodeDict.erase(item->name());
        if (item->children()) item->children()->clear();
      }
    }
    group->children()->clear();
  }
  m_iNeedRefreshTree = 1;
}

void QVTypeMgr::setSearch(int flag) {
  insertFileNodeMap.clear();
  clearData();
  typeIndexMap.clear();
  for (unsigned category : kTypeCategories) typeIndexMap[category] = 0;
  bSearch = flag;
}
