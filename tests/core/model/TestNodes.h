#pragma once
// A minimal engine node for model tests.

#include <string>

#include "core/model/FileNode.h"

class TestNode : public CFileNode {
 public:
  TestNode(long long id, long long parent, std::string name, bool dir = false, _tagSearcherType type = kSearcherFat)
      : m_name(std::move(name)), m_dir(dir), m_type(type) {
    SetNodeID(id);
    SetParentNodeID(parent);
  }
  const char* GetFileName() override { return m_name.c_str(); }
  long long GetFileSize() override { return m_size; }
  unsigned int GetAttribute() override { return m_dir ? 0x10 : 0; }
  long long GetCreationTime() override { return m_ctime; }
  long long GetModificationTime() override { return 0; }
  long long GetLastAccessTime() override { return 0; }
  int IsDirectory() override { return m_dir ? 1 : 0; }
  int IsDeleted() override { return m_deleted ? 1 : 0; }
  _tagSearcherType GetSearcheType() const override { return m_type; }
  IFileNode* Clone() override { return new TestNode(GetCurrentNodeID(), GetParentNodeID(), m_name, m_dir, m_type); }
  void MarkDeleted() override { m_deleted = true; }
  void FilterFileNameByDot() override { m_name = CFileNode::FilterFileNameByDot(m_name); }
  void UpdateFileSize(long long size) override { m_size = size; }

  std::string m_name;
  bool m_dir;
  _tagSearcherType m_type;
  bool m_deleted = false;
  long long m_size = 0;
  long long m_ctime = 0;
};
