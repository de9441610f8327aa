#include "exfat/ExFatFileNode.h"

IFileNode* CExFatFileNode::Clone() {
  auto* copy = new CExFatFileNode();
  copy->m_name = m_name;
  copy->m_size = m_size;
  copy->m_attributes = (m_attributes & kAttrMask) | (m_attributes & kDeleted);
  copy->m_created = m_created;
  copy->m_modified = m_modified;
  copy->m_accessed = m_accessed;
  if (GetDataRunList() != nullptr) copy->SetDataRunList(GetDataRunList()->Clone());
  return copy;
}
