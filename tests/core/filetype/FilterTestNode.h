#pragma once
// A minimal found-file node for the filter tests: a name (or none), a folder
// flag and a deleted flag.

#include <optional>
#include <string>

#include "core/model/FileNode.h"

class FilterTestNode : public CFileNode {
 public:
  explicit FilterTestNode(std::optional<std::string> name, bool dir = false, bool deleted = false)
      : m_name(std::move(name)), m_dir(dir), m_deleted(deleted) {}

  const char* GetFileName() override { return m_name ? m_name->c_str() : nullptr; }
  long long GetFileSize() override { return 0; }
  unsigned int GetAttribute() override { return m_dir ? 0x10 : 0; }
  long long GetCreationTime() override { return 0; }
  long long GetModificationTime() override { return 0; }
  long long GetLastAccessTime() override { return 0; }
  int IsDirectory() override { return m_dir ? 1 : 0; }
  int IsDeleted() override { return m_deleted ? 1 : 0; }
  IFileNode* Clone() override { return new FilterTestNode(m_name, m_dir, m_deleted); }
  void MarkDeleted() override { m_deleted = true; }
  void FilterFileNameByDot() override {}

 private:
  std::optional<std::string> m_name;
  bool m_dir;
  bool m_deleted;
};
