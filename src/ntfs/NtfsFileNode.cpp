#include "ntfs/NtfsFileNode.h"

#include <new>

#include "core/compress/CompressFileReader.h"

void CNTFSFileNode::SetFileProperties(std::unique_ptr<CNTFSFileProperties> properties) {
  m_props = std::move(properties);
  m_llNodeId = 0;
  m_llParentNodeId = 5;
  if (!m_props) return;
  SetMetaDataSector(m_props->GetFileRecordStartSector());
  m_llMetadataStart = m_props->GetFileRecordStartSector();
  SetDataRunList(m_props->GetDataRunList());
  SetCompressed((m_props->GetAttribute() & kNtfsAttrCompressed) != 0 ? 1 : 0);
}

IFileNode* CNTFSFileNode::Clone() {
  auto* copy = new (std::nothrow) CNTFSFileNode();
  if (copy == nullptr) return nullptr;
  if (m_props) copy->m_props.reset(static_cast<CNTFSFileProperties*>(m_props->Clone()));
  copy->m_llNodeId = m_llNodeId;
  copy->m_llParentNodeId = m_llParentNodeId;
  copy->m_u64State = m_u64State;
  copy->m_iCompressed = m_iCompressed;
  copy->m_pRecordInfo = m_pRecordInfo;
  copy->m_llMetadataStart = m_llMetadataStart;
  copy->SetDataRunList(m_pDataRunList != nullptr ? m_pDataRunList->Clone() : nullptr);
  return copy;
}

void CNTFSFileNode::MarkDeleted() {
  if (m_props) m_props->SetState(static_cast<unsigned short>(m_props->GetState() | kNtfsStateDeleted));
}

IFileReader* CNTFSFileNode::CreateCompressFileReader(void*) { return new (std::nothrow) CCompressFileReader(); }

void CNTFSFileNode::FilterFileNameByDot() {
  if (!m_props) return;
  m_props->SetFileName(CFileNode::FilterFileNameByDot(std::string(m_props->GetFileName())).c_str());
}

void CNTFSFileNode::SetFileName(const char* name) {
  if (m_props) m_props->SetFileName(name);
}
