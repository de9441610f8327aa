#include "apfs/APFSFileNode.h"

#include <cstring>

APFSFileNode::APFSFileNode() { SetBelongedPartition(0); }

APFSFileNode::~APFSFileNode() { SetDataRunList(nullptr); }

long long APFSFileNode::ToFileTime(std::int64_t ns) { return SecondsSince1970ToFileTime(ns / 1000000000LL); }

void APFSFileNode::SetParentNodeID(long long id) {
  if (HandedOver()) return;
  if ((static_cast<std::uint64_t>(id) & 0xFFFFFFFFull) == 1) {
    const auto partition = static_cast<std::int16_t>(GetBelongedPartition());
    id = (static_cast<long long>(partition) << 32) + 2;
  }
  CFileNode::SetParentNodeID(id);
}

IFileNode* APFSFileNode::Clone() {
  auto* copy = new APFSFileNode();
  copy->m_iShownChildren = m_iShownChildren;
  copy->m_llNodeId = m_llNodeId;
  copy->m_llParentNodeId = m_llParentNodeId;
  copy->m_u64State = m_u64State;
  copy->m_iCheckedSum = m_iCheckedSum;
  copy->m_iCompressed = m_iCompressed;
  if (m_pDataRunList != nullptr) copy->m_pDataRunList = m_pDataRunList->Clone();
  copy->m_name = m_name;
  copy->m_size = m_size;
  copy->m_created = m_created;
  copy->m_modified = m_modified;
  copy->m_accessed = m_accessed;
  copy->m_position = m_position;
  copy->m_apfsKey = m_apfsKey;
  copy->m_apfsParent = m_apfsParent;
  copy->m_flags = m_flags & ~kHandedOver;
  copy->m_extents = m_extents;
  copy->m_decmpfs = m_decmpfs;
  copy->m_resourceInline = m_resourceInline;
  copy->m_resourceKey = m_resourceKey;
  copy->m_resourceSize = m_resourceSize;
  copy->m_reader = m_reader;
  return copy;
}

void APFSFileNode::SetKind(bool isDirectory) {
  if ((m_flags & kKindFixed) != 0) return;
  if (isDirectory) {
    m_flags |= kDirectory;
  } else {
    m_flags &= ~kDirectory;
  }
  m_flags |= kKindFixed;
}

void APFSFileNode::SetSizeIfUnset(std::uint64_t size) {
  if (m_size == 0 || (m_flags & kDeleted) != 0) m_size = size;
}

std::string APFSFileNode::PlainName() const { return std::string(m_name.c_str()); }
