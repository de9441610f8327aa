#pragma once
// The tree of carved files by extension (searcher type 34) for one file
// category: one folder per lower-case extension under the root, the files
// in them. Labelled finds go to the label tree instead.

#include <map>
#include <string>

#include "core/filetype/FileTypeId.h"
#include "core/model/Contracts.h"

class CRawFileInfo;
class CLABELRAWTreeBuilder;

class CRAWFileManager {
 public:
  // Id of the next extension folder; 10 at the start of each search.
  static int g_nID;
  static constexpr long long kFirstFileId = 10000;

  // `labels` (shared by the managers of one search) and `nextFileId` (file
  // ids unique in the tree) belong to the caller; null: the manager keeps
  // its own.
  CRAWFileManager(int folderParentId, FILE_TYPE_ID category, IDirecotryTreeBuilder* builder,
                  CLABELRAWTreeBuilder* labels = nullptr, long long* nextFileId = nullptr, int sectorSize = 512);
  ~CRAWFileManager();
  CRAWFileManager(const CRAWFileManager&) = delete;
  CRAWFileManager& operator=(const CRAWFileManager&) = delete;

  // 0 for null; otherwise AddNode(info, 32, category, next id).
  int AddRawFileInfo(CRawFileInfo* info);
  // 1 when added.
  int AddNode(CRawFileInfo* info, unsigned int attribute, int parentId, long long nodeId);

 private:
  long long m_llOwnNextId = kFirstFileId;
  long long* m_pNextId;
  int m_iFolderParentId;
  FILE_TYPE_ID m_eCategory;
  IDirecotryTreeBuilder* m_pBuilder;
  std::map<std::string, long long> m_folders;
  CLABELRAWTreeBuilder* m_pLabels;
  CLABELRAWTreeBuilder* m_pOwnLabels = nullptr;
  int m_iSectorSize;
};
