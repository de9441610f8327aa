#pragma once
// A file or folder found on an exFAT volume.

#include <cstdint>
#include <string>

#include "core/model/FileNode.h"

class CExFatFileNode : public CFileNode {
 public:
  static constexpr std::uint32_t kAttrMask = 0xFFFF;
  static constexpr std::uint32_t kFatInvalid = 1u << 30;
  static constexpr std::uint32_t kDeleted = 1u << 31;

  CExFatFileNode() = default;
  ~CExFatFileNode() override = default;

  const char* GetFileName() override { return m_name.c_str(); }
  long long GetFileSize() override { return m_size; }
  unsigned int GetAttribute() override { return m_attributes & kAttrMask; }
  long long GetCreationTime() override { return static_cast<long long>(m_created); }
  long long GetModificationTime() override { return static_cast<long long>(m_modified); }
  long long GetLastAccessTime() override { return static_cast<long long>(m_accessed); }
  int IsDirectory() override { return (m_attributes & 0x10) != 0 ? 1 : 0; }
  int IsDeleted() override { return (m_attributes & kDeleted) != 0 ? 1 : 0; }
  IFileNode* Clone() override;
  void MarkDeleted() override { m_attributes |= kDeleted; }
  void FilterFileNameByDot() override { m_name = CFileNode::FilterFileNameByDot(m_name); }
  // Also what the recycle-bin filter calls to restore a recycled name.
  void SetFileName(const char* name) override {
    if (name != nullptr) m_name = name;
  }

  void SetFileSize(long long size) { m_size = size; }
  void SetFileAttributes(std::uint16_t attributes) { m_attributes |= attributes; }
  void SetFileTime(std::uint64_t created, std::uint64_t modified, std::uint64_t accessed) {
    m_created = created;
    m_modified = modified;
    m_accessed = accessed;
  }
  void SetFileDeleted() { m_attributes |= kDeleted; }
  void SetFileFatInvalid() { m_attributes |= kFatInvalid; }
  bool IsFatInvalid() const { return (m_attributes & kFatInvalid) != 0; }
  void SetID(long long id) { SetNodeID(id); }
  void SetParentID(long long id) { SetParentNodeID(id); }
  void SetFirstCluster(std::uint32_t cluster) { m_firstCluster = cluster; }
  std::uint32_t GetFirstCluster() const { return m_firstCluster; }

 private:
  std::string m_name;
  long long m_size = 0;
  std::uint32_t m_attributes = 0;
  std::uint64_t m_created = 0;
  std::uint64_t m_modified = 0;
  std::uint64_t m_accessed = 0;
  std::uint32_t m_firstCluster = 0xFFFFFFFF;
};
