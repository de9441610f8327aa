#pragma once
// A file or folder found by the FAT scans: the core's node joined to its
// FAT properties. Its id is its first cluster, its parent id the first
// cluster of the folder holding its entry.

#include <cstdint>

#include "core/model/FileNode.h"
#include "core/tree/DuplicateFolderEntry.h"
#include "fat/FatFileProperties.h"

class CFATFileNode final : public CFileNode, public IDuplicateFolderEntry {
 public:
  CFATFileNode() = default;
  ~CFATFileNode() override;
  CFATFileNode(const CFATFileNode&) = delete;
  CFATFileNode& operator=(const CFATFileNode&) = delete;

  const char* GetFileName() override;
  long long GetFileSize() override;
  unsigned int GetAttribute() override;
  long long GetCreationTime() override;
  long long GetModificationTime() override;
  long long GetLastAccessTime() override;
  int IsDirectory() override { return (GetAttribute() & 0x10) != 0 ? 1 : 0; }
  int IsDeleted() override;
  _tagSearcherType GetSearcheType() const override { return kSearcherFat; }
  IFileNode* Clone() override;
  void MarkDeleted() override;
  void FilterFileNameByDot() override;
  void SetFileName(const char* name) override;

  void TakeFolderEntry(IFileNode& newer) override;

  // Owned from now on; ids and metadata sector follow the record.
  void SetFileProperties(CFATFileProperties* properties);
  CFATFileProperties* GetFileProperties() const { return m_properties; }
  void DelDataRunList() { SetDataRunList(nullptr); }
  void SetCurrentNodeID(long long id) { SetNodeID(id); }

 private:
  CFATFileProperties* m_properties = nullptr;
};

// Node ids for empty files: numbers above every FAT cluster number.
class CEmptyFileVirtualClusterNum {
 public:
  static constexpr std::uint64_t kFirst = 0x100000000ull;
  void ResetVirtualClusterNum() { m_next = kFirst; }
  std::uint64_t GetVirtualClusterNum() { return m_next++; }

 private:
  std::uint64_t m_next = kFirst;
};

CEmptyFileVirtualClusterNum& GetEmptyFileVirtualClusterNumObject();
