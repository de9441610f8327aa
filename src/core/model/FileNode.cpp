#include "core/model/FileNode.h"

#include <cstring>
#include <vector>

#include "core/util/Assert.h"

namespace {
constexpr std::uint64_t kCheckMask = 0xFull;
constexpr std::uint64_t kShowMask = 0xF0ull;
constexpr std::uint64_t kPartitionMask = 0xFFFF00ull;
constexpr std::uint64_t kLowBits = 0xFFFFFFull;
// Parent chains longer than this are treated as corrupt links.
constexpr int kMaxAncestorWalk = 1 << 20;
}  // namespace

CFileNode::~CFileNode() {
  m_pParent = nullptr;
  m_pNext = nullptr;
  m_pFirstChild = nullptr;
  if (m_pDataRunList != nullptr) m_pDataRunList->Release();
  m_pDataRunList = nullptr;
}

int CFileNode::IsNodeShow() const { return static_cast<int>((m_u64State & kShowMask) >> 4); }
int CFileNode::GetCheckedStatus() const { return static_cast<int>(m_u64State & kCheckMask); }

void CFileNode::SetCheckBits(int state) {
  m_u64State = (m_u64State & ~kCheckMask) | (static_cast<std::uint64_t>(state) & kCheckMask);
}

void CFileNode::SetShowBits(int show) {
  m_u64State = (m_u64State & ~kShowMask) | ((static_cast<std::uint64_t>(show) & 0xF) << 4);
}

unsigned CFileNode::GetBelongedPartition() const { return static_cast<unsigned>((m_u64State & kPartitionMask) >> 8); }

void CFileNode::SetBelongedPartition(unsigned short partition) {
  m_u64State = (m_u64State & ~kPartitionMask) | (static_cast<std::uint64_t>(partition) << 8);
}

long long CFileNode::GetMetadataStartPosition() const { return static_cast<long long>(m_u64State) >> 24; }

void CFileNode::SetMetaDataSector(long long sector) {
  m_u64State = (static_cast<std::uint64_t>(sector) << 24) | (m_u64State & kLowBits);
}

void CFileNode::SetDataRunList(IDataRunList* list) {
  if (m_pDataRunList == list) return;
  if (m_pDataRunList != nullptr) m_pDataRunList->Release();
  m_pDataRunList = list;
}

void CFileNode::ShowNode(int show) {
  if (m_pParent != nullptr) {
    int delta = 0;
    if (show != IsNodeShow()) delta = show != 0 ? 1 : -1;
    m_pParent->ShowParent(delta);
  }
  SetShowBits(show);
}

void CFileNode::ShowParent(int delta) {
  CFileNode* node = this;
  for (int steps = 0; node != nullptr && delta != 0 && steps < kMaxAncestorWalk; ++steps) {
    node->m_iShownChildren += delta;
    const int shown = node->m_iShownChildren != 0 ? 1 : 0;
    const int old = node->IsNodeShow();
    node->SetShowBits(shown);
    if (shown == old) break;
    delta = shown != 0 ? 1 : -1;
    node = node->m_pParent;
  }
}

void CFileNode::SetCheck(_tagCheckedStatus eStatus) {
  QV_ASSERT(eStatus != 1);
  if (IsNodeShow() == 0 || eStatus >= 3 || eStatus < 0) return;
  const int old = GetCheckedStatus();
  if (m_pParent != nullptr) m_pParent->SetParentStatus(eStatus - old);
  if (m_pFirstChild != nullptr) m_pFirstChild->SetChildStatus(eStatus, 1);
  SetCheckBits(eStatus);
  m_iCheckedSum = eStatus * m_iShownChildren;
}

void CFileNode::SetParentStatus(int delta) {
  CFileNode* node = this;
  for (int steps = 0; node != nullptr && delta != 0 && steps < kMaxAncestorWalk; ++steps) {
    node->m_iCheckedSum += delta;
    int derived = 1;
    if (node->m_iCheckedSum == 0) {
      derived = 0;
    } else if (node->m_iCheckedSum == 2 * node->m_iShownChildren) {
      derived = 2;
    }
    delta = derived - node->GetCheckedStatus();
    node->SetCheckBits(derived);
    node = node->m_pParent;
  }
}

// Depth-first without recursion: trees from a damaged disk can be very deep.
// A hidden node keeps its state and so does its subtree.
void CFileNode::SetChildStatus(int state, int walkSiblings) {
  if (state == 1) return;
  std::vector<CFileNode*> pending;
  auto pushLevel = [&pending](CFileNode* first) {
    for (CFileNode* n = first; n != nullptr; n = n->m_pNext) pending.push_back(n);
  };
  if (walkSiblings != 0) {
    pushLevel(this);
  } else {
    pending.push_back(this);
  }
  while (!pending.empty()) {
    CFileNode* node = pending.back();
    pending.pop_back();
    if (node->IsNodeShow() == 0) continue;
    node->SetCheckBits(state);
    node->m_iCheckedSum = state * node->m_iShownChildren;
    pushLevel(node->m_pFirstChild);
  }
}

bool CFileNode::IsLoopedToSelf(IFileNode* node, IFileNode* candidate) {
  if (node == nullptr || candidate == nullptr) return false;
  IFileNode* p = node->GetParent();
  for (int steps = 0; p != nullptr; ++steps) {
    if (p == candidate || steps >= kMaxAncestorWalk) return true;
    p = p->GetParent();
  }
  return false;
}

int CFileNode::AddChild(IFileNode* child) {
  auto* node = dynamic_cast<CFileNode*>(child);
  if (node == nullptr || node == this || IsLoopedToSelf(this, node)) return 0;
  ++m_iShownChildren;
  node->m_pParent = this;
  node->m_pNext = m_pFirstChild;
  m_pFirstChild = node;
  return 1;
}

int CFileNode::AddNext(IFileNode* next) {
  auto* node = dynamic_cast<CFileNode*>(next);
  if (node == nullptr || node == this) return 0;
  if (m_pNext != nullptr && m_pNext != node) node->AddNext(m_pNext);
  m_pNext = node;
  return 1;
}

int CFileNode::RemoveChild(CFileNode* child) {
  if (child == nullptr || m_pFirstChild == nullptr) return 0;
  if (m_pFirstChild == child) {
    m_pFirstChild = child->m_pNext;
  } else {
    CFileNode* prev = m_pFirstChild;
    while (prev->m_pNext != nullptr && prev->m_pNext != child) prev = prev->m_pNext;
    if (prev->m_pNext != child) return 0;
    prev->m_pNext = child->m_pNext;
  }
  child->m_pParent = nullptr;
  child->m_pNext = nullptr;
  child->m_pFirstChild = nullptr;
  if (m_iShownChildren == 1) m_pFirstChild = nullptr;
  --m_iShownChildren;
  return 1;
}

void CFileNode::MergeNode(CFileNode* other) {
  if (other == nullptr || other == this) return;
  if (m_pDataRunList != nullptr) m_pDataRunList->Release();
  m_pDataRunList = other->m_pDataRunList;
  other->m_pDataRunList = nullptr;
  UpdateFileSize(other->GetFileSize());
}

std::string CFileNode::FilterFileNameByDot(const std::string& name) {
  const auto first = name.find_first_not_of(" .");
  return first == std::string::npos ? std::string() : name.substr(first);
}

// Comparison has no side effects: a FAT entry that differs by name is another
// file, never renamed into the one it was compared with.
bool CFileNode::operator==(const CFileNode& other) const {
  auto& self = const_cast<CFileNode&>(*this);
  auto& that = const_cast<CFileNode&>(other);
  if (m_llNodeId != other.m_llNodeId) return false;
  if (self.IsDirectory() != that.IsDirectory()) return false;
  if (m_llParentNodeId != other.m_llParentNodeId) return false;
  const char* a = self.GetFileName();
  const char* b = that.GetFileName();
  if (std::strcmp(a != nullptr ? a : "", b != nullptr ? b : "") != 0) return false;
  if (that.IsDirectory() != 0) return true;
  if (GetSearcheType() == kSearcherHfsPlus && self.GetCreationTime() == that.GetCreationTime() &&
      self.GetFileSize() == that.GetFileSize()) {
    return true;
  }
  return GetBelongedPartition() == other.GetBelongedPartition();
}

CFilesystemNode::CFilesystemNode(const char* name, const char* volumeName, _tagSearcherType type, long long nodeId)
    : m_eType(type), m_strName(name != nullptr ? name : ""), m_strVolumeName(volumeName != nullptr ? volumeName : "") {
  m_llNodeId = nodeId;
}

IFileNode* CFilesystemNode::Clone() {
  return new CFilesystemNode(m_strName.c_str(), m_strVolumeName.c_str(), m_eType, m_llNodeId);
}
