#include "fat/FatFileNode.h"

#include <cstdio>

CFATFileNode::~CFATFileNode() { CFATFileProperties::Destory(m_properties); }

const char* CFATFileNode::GetFileName() { return m_properties != nullptr ? m_properties->GetFileName() : nullptr; }
long long CFATFileNode::GetFileSize() { return m_properties != nullptr ? m_properties->GetFileSize() : 0; }
unsigned int CFATFileNode::GetAttribute() {
  return m_properties != nullptr ? (m_properties->GetAttribute() & 0xFFFF) : 0;
}
long long CFATFileNode::GetCreationTime() { return m_properties != nullptr ? m_properties->GetCreationTime() : 0; }
long long CFATFileNode::GetModificationTime() {
  return m_properties != nullptr ? m_properties->GetModificationTime() : 0;
}
long long CFATFileNode::GetLastAccessTime() { return m_properties != nullptr ? m_properties->GetLastAccessTime() : 0; }
int CFATFileNode::IsDeleted() {
  return m_properties != nullptr && (m_properties->GetState() & CFATFileProperties::kStateDeleted) != 0 ? 1 : 0;
}

void CFATFileNode::MarkDeleted() {
  if (m_properties != nullptr) m_properties->SetState(m_properties->GetState() | CFATFileProperties::kStateDeleted);
}

void CFATFileNode::SetFileName(const char* name) {
  if (m_properties != nullptr) m_properties->SetFileName(name);
}

void CFATFileNode::FilterFileNameByDot() {
  const char* name = GetFileName();
  if (name == nullptr) return;
  const std::string filtered = CFileNode::FilterFileNameByDot(std::string(name));
  SetFileName(filtered.c_str());
}

void CFATFileNode::SetFileProperties(CFATFileProperties* properties) {
  if (properties != m_properties) CFATFileProperties::Destory(m_properties);
  m_properties = properties;
  if (properties == nullptr) return;
  SetNodeID(properties->GetFirstCluster());
  SetParentNodeID(properties->GetParentFirstCluster());
  CFileNode::SetMetaDataSector(properties->GetMetadataSector());
  const char* name = properties->GetFileName();
  std::printf("=====%s====== Current:%llx Parent:%llx\n", name != nullptr ? name : "",
              static_cast<unsigned long long>(GetCurrentNodeID()), static_cast<unsigned long long>(GetParentNodeID()));
}

IFileNode* CFATFileNode::Clone() {
  auto* copy = new CFATFileNode();
  if (m_properties != nullptr) {
    auto* props = static_cast<CFATFileProperties*>(m_properties->Clone());
    if (props == nullptr) {
      delete copy;
      return nullptr;
    }
    copy->SetFileProperties(props);
  }
  if (GetDataRunList() != nullptr) copy->SetDataRunList(GetDataRunList()->Clone());
  return copy;
}

void CFATFileNode::TakeFolderEntry(IFileNode& newer) {
  auto* other = dynamic_cast<CFATFileNode*>(&newer);
  if (other == nullptr || other->m_properties == nullptr || m_properties == nullptr) return;
  *m_properties = *other->m_properties;
}

CEmptyFileVirtualClusterNum& GetEmptyFileVirtualClusterNumObject() {
  static CEmptyFileVirtualClusterNum counter;
  return counter;
}
