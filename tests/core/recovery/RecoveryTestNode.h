#pragma once
// A found-file node with chosen runs, size, times and partition.

#include <initializer_list>
#include <string>

#include "core/compress/CompressFileReader.h"
#include "core/model/FileNode.h"

class RecoveryTestNode : public CFileNode {
 public:
  RecoveryTestNode(std::string name, long long size, std::initializer_list<DataRun> runs = {}, bool dir = false)
      : m_name(std::move(name)), m_size(size), m_dir(dir) {
    if (!dir || runs.size() != 0) {
      IDataRunList* list = CreateDataRunList();
      for (const DataRun& r : runs) list->AddDataRun(&r);
      SetDataRunList(list);
    }
  }
  const char* GetFileName() override { return m_name.c_str(); }
  long long GetFileSize() override { return m_size; }
  unsigned int GetAttribute() override { return m_dir ? 0x10 : 0; }
  long long GetCreationTime() override { return m_ctime; }
  long long GetModificationTime() override { return m_mtime; }
  long long GetLastAccessTime() override { return m_atime; }
  int IsDirectory() override { return m_dir ? 1 : 0; }
  int IsDeleted() override { return 1; }
  _tagSearcherType GetSearcheType() const override { return kSearcherNtfs; }
  IFileNode* Clone() override { return nullptr; }
  void MarkDeleted() override {}
  void FilterFileNameByDot() override {}
  IFileReader* CreateCompressFileReader(void*) override {
    return IsCompressed() != 0 ? new CCompressFileReader() : nullptr;
  }

  std::string m_name;
  long long m_size;
  bool m_dir;
  long long m_ctime = 0;
  long long m_mtime = 0;
  long long m_atime = 0;
};
