#include "bridge/OpNodeData.h"

#include <ctime>

#include "bridge/QVPublic.h"
#include "core/util/Log.h"

namespace {

bool ValidCheck(int state) { return state == kUnchecked || state == kChecked; }

}  // namespace

OpNodePtr OpNodeData::initWithNodeData(const __TreeNodeData__& data) {
  OpNodePtr item(new OpNodeData());
  item->m_isFileSystem = data.isFileSystem;
  item->m_ptFileNode = data.node;
  const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
  item->m_createTime = now;
  item->m_modifyTime = now;
  return item;
}

OpNodePtr OpNodeData::initWithFileNode(IFileNode* node) {
  __TreeNodeData__ data;
  data.isFileSystem = 0;
  data.node = node;
  return initWithNodeData(data);
}

void OpNodeData::setSubNode(std::shared_ptr<OpNodeList> children) {
  m_children = std::move(children);
  if (!m_children) return;
  for (const OpNodeChild& c : *m_children) {
    if (OpNodeData* item = OpNodeItemOf(c)) item->m_parent = this;
  }
}

void OpNodeData::addChildObject(OpNodeChild child) { ensureChildren().push_back(std::move(child)); }

OpNodeList& OpNodeData::ensureChildren() {
  if (!m_children) m_children = std::make_shared<OpNodeList>();
  return *m_children;
}

bool OpNodeData::isFadeNode() const { return m_type != kOpNodePath && m_ptFileNode == nullptr; }

bool OpNodeData::isDirect() const {
  if (isFadeNode()) return true;
  return m_ptFileNode != nullptr && m_ptFileNode->IsDirectory() != 0;
}

std::uint64_t OpNodeData::size() const {
  if (isFadeNode() || m_ptFileNode == nullptr || m_ptFileNode->IsDirectory()) return 0;
  const long long s = m_ptFileNode->GetFileSize();
  return s > 0 ? static_cast<std::uint64_t>(s) : 0;
}

std::string OpNodeData::name() const {
  if (isFadeNode()) return m_hasFadeName ? m_fadeName : "Unknown";
  if (m_ptFileNode == nullptr) return "";
  bool valid = true;
  std::string text = fileNodeName(m_ptFileNode, &valid);
  return valid ? text : "Unknown";
}

std::string OpNodeData::path() const {
  if (isFadeNode() || m_ptFileNode == nullptr) return "";
  return QVUIPublic::GetPathByFileNode(m_ptFileNode);
}

std::string OpNodeData::createTime() const {
  if (isFadeNode() || m_ptFileNode == nullptr) return "";
  const long long t = m_ptFileNode->GetCreationTime();
  if (t == 0) return "";
  return QVUIPublic::FormatFileTimeToString(static_cast<std::uint64_t>(t));
}

std::string OpNodeData::modifyTime() const {
  if (isFadeNode() || m_ptFileNode == nullptr) return "";
  return QVUIPublic::FormatFileTimeToString(static_cast<std::uint64_t>(m_ptFileNode->GetModificationTime()));
}

std::string OpNodeData::lastAccessTime() const {
  if (isFadeNode() || m_ptFileNode == nullptr) return "";
  return QVUIPublic::FormatFileTimeToString(static_cast<std::uint64_t>(m_ptFileNode->GetLastAccessTime()));
}

std::uint64_t OpNodeData::createTimeValue() const {
  if (isFadeNode() || m_ptFileNode == nullptr) return 0;
  return static_cast<std::uint64_t>(m_ptFileNode->GetCreationTime());
}

std::uint64_t OpNodeData::modifyTimeValue() const {
  if (isFadeNode() || m_ptFileNode == nullptr) return 0;
  return static_cast<std::uint64_t>(m_ptFileNode->GetModificationTime());
}

bool OpNodeData::isDeleted() const {
  if (isFadeNode() || m_ptFileNode == nullptr) return false;
  return m_ptFileNode->IsDeleted() != 0;
}

bool OpNodeData::IsShow() const {
  if (isFadeNode() || m_ptFileNode == nullptr) return true;
  return m_ptFileNode->IsNodeShow() != 0;
}

void OpNodeData::SetShow(int show) {
  if (isFadeNode() || m_ptFileNode == nullptr) return;
  m_ptFileNode->ShowNode(show);
}

bool OpNodeData::isHasFolderChildren() const {
  if (isFadeNode()) return m_isExpandAble != 0;
  if (m_ptFileNode == nullptr) return false;
  IFileNode* first = m_ptFileNode->GetFirstChild();
  // A sibling chain that comes back to its start ends the walk.
  for (IFileNode* c = first; c != nullptr;) {
    if (c->IsDirectory()) return true;
    c = c->GetNextNode();
    if (c == first) break;
  }
  return false;
}

int OpNodeData::state() const {
  if (isFadeNode() || m_ptFileNode == nullptr) return m_state;
  return m_ptFileNode->GetCheckedStatus();
}

int OpNodeData::nodeType() const {
  if (!isFadeNode()) return m_isFileSystem == 1 ? 0 : 1;
  if (m_type == kOpNodeCategory) {
    const std::string title = name();
    switch (QVCPPPublic::instance()->StringToFilterType(title.c_str())) {
      case kFilterDocument:
        return 2;
      case kFilterPicture:
        return 3;
      case kFilterMovie:
        return 4;
      case kFilterMusic:
        return 5;
      case kFilterArchive:
        return 6;
      case kFilterEmail:
        return 7;
      default:
        return 8;
    }
  }
  if (m_type == kOpNodeCreateDate || m_type == kOpNodeModifyDate) return m_parent == nullptr ? 9 : 10;
  return 11;
}

void OpNodeData::setNodeState(int s) {
  if (isFadeNode() || m_ptFileNode == nullptr) {
    m_state = s;
  } else if (ValidCheck(s)) {
    // A file node takes only unchecked or checked.
    m_ptFileNode->SetCheck(static_cast<_tagCheckedStatus>(s));
  }
  if (m_parent != nullptr && m_parent->isFadeNode()) setParentNodeState(s);
  SetChildrenNodeState(s);
}

void OpNodeData::setParentNodeState(int s) {
  m_state = s;
  OpNodeData* p = m_parent;
  if (p == nullptr || !p->isFadeNode()) return;
  if (s == kPartlyChecked) {
    p->setParentNodeState(kPartlyChecked);
    return;
  }
  int sum = 0;
  std::size_t n = 0;
  if (p->m_children) {
    for (const OpNodeChild& c : *p->m_children) {
      if (const OpNodeData* item = OpNodeItemOf(c)) {
        sum += item->state();
      } else if (IFileNode* row = OpNodeRowOf(c)) {
        sum += row->GetCheckedStatus();
      }
      ++n;
    }
  }
  if (sum == 0)
    p->setParentNodeState(kUnchecked);
  else if (static_cast<std::size_t>(sum) == 2 * n)
    p->setParentNodeState(kChecked);
  else
    p->setParentNodeState(kPartlyChecked);
}

void OpNodeData::SetChildrenNodeState(int s) {
  if (isFadeNode() || m_ptFileNode == nullptr) {
    m_state = s;
    if (s == kPartlyChecked || !m_children) return;
    for (const OpNodeChild& c : *m_children) {
      if (OpNodeData* item = OpNodeItemOf(c)) {
        item->SetChildrenNodeState(s);
      } else if (IFileNode* row = OpNodeRowOf(c); row != nullptr && ValidCheck(s)) {
        row->SetCheck(static_cast<_tagCheckedStatus>(s));
      }
    }
    return;
  }
  if (m_parent != nullptr && m_parent->isFadeNode() && ValidCheck(s)) {
    m_ptFileNode->SetCheck(static_cast<_tagCheckedStatus>(s));
  }
}

bool OpNodeData::isFileNodeDirect(IFileNode* node) { return node != nullptr && node->IsDirectory() != 0; }
bool OpNodeData::isFileNodeDeleted(IFileNode* node) { return node != nullptr && node->IsDeleted() != 0; }
int OpNodeData::fileNodeState(IFileNode* node) { return node != nullptr ? node->GetCheckedStatus() : 0; }

void OpNodeData::setFileNode(IFileNode* node, int state) {
  if (node == nullptr || state < 0 || state > 2) return;
  // A file node takes only unchecked or checked.
  if (!ValidCheck(state)) return;
  node->SetCheck(static_cast<_tagCheckedStatus>(state));
}

std::string OpNodeData::fileNodeName(IFileNode* node, bool* valid) {
  if (valid != nullptr) *valid = true;
  if (node == nullptr) return "";
  const char* text = node->GetFileName();
  if (text == nullptr) return "";
  if (isValidString(text) == 0) {
    if (valid != nullptr) *valid = false;
    return "";
  }
  return text;
}
