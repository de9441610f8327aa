#pragma once
// A found NTFS file or folder. The node owns its properties.

#include <memory>

#include "core/model/FileNode.h"
#include "ntfs/FileProperties.h"

class CCommonFileRecordInfo;

class CNTFSFileNode final : public CFileNode {
 public:
  CNTFSFileNode() = default;
  ~CNTFSFileNode() override = default;

  const char* GetFileName() override { return m_props ? m_props->GetFileName() : nullptr; }
  long long GetFileSize() override { return m_props ? m_props->GetFileSize() : 0; }
  unsigned int GetAttribute() override { return m_props ? m_props->GetAttribute() : 0; }
  long long GetCreationTime() override { return m_props ? m_props->GetCreationTime() : 0; }
  long long GetModificationTime() override { return m_props ? m_props->GetModificationTime() : 0; }
  long long GetLastAccessTime() override { return m_props ? m_props->GetLastAccessTime() : 0; }
  int IsDirectory() override { return (GetAttribute() & kNtfsAttrDirectory) != 0 ? 1 : 0; }
  int IsDeleted() override { return m_props && (m_props->GetState() & kNtfsStateDeleted) != 0 ? 1 : 0; }
  _tagSearcherType GetSearcheType() const override { return kSearcherNtfs; }
  IFileNode* Clone() override;
  void MarkDeleted() override;
  IFileReader* CreateCompressFileReader(void* context) override;
  int IsCompressed() const override { return m_props && (m_props->GetAttribute() & kNtfsAttrCompressed) != 0; }
  void FilterFileNameByDot() override;
  void SetFileName(const char* name) override;

  // Takes the properties: node id 0, parent 5, metadata sector and run list
  // from them. Callers then set the real ids.
  void SetFileProperties(std::unique_ptr<CNTFSFileProperties> properties);
  IFileProperties* GetFileProperties() const { return m_props.get(); }
  CNTFSFileProperties* Properties() const { return m_props.get(); }
  void SetCurrentNodeID(long long id) { m_llNodeId = id; }
  void SetPrivateDataofSpecifiedFileSystem(CCommonFileRecordInfo* info) { m_pRecordInfo = info; }
  CCommonFileRecordInfo* GetPrivateDataofSpecifiedFileSystem() const { return m_pRecordInfo; }
  void SetMetadataStartPosition(long long sector) { m_llMetadataStart = sector; }
  long long GetMetadataStartPosition() const { return m_llMetadataStart; }

 private:
  std::unique_ptr<CNTFSFileProperties> m_props;
  CCommonFileRecordInfo* m_pRecordInfo = nullptr;
  long long m_llMetadataStart = -1;
};
