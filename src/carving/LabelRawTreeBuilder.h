#pragma once
// The tree of carved files by label (searcher type 36): key folders
// (Artists, Camera, Office with Word/Excel/PowerPoint, MOV, PDF, AI), value
// folders per label value, and the labelled files in them.

#include <list>
#include <map>
#include <string>

#include "core/model/Contracts.h"

class CRawFileInfo;
class CRAWFileNode;

class CLABELRAWTreeBuilder {
 public:
  // Id of every value folder and labelled file; 2001 at the start of each
  // search.
  static long long m_gRawCount;
  static constexpr long long kRootId = 1000;

  CLABELRAWTreeBuilder() = default;
  ~CLABELRAWTreeBuilder() = default;
  CLABELRAWTreeBuilder(const CLABELRAWTreeBuilder&) = delete;
  CLABELRAWTreeBuilder& operator=(const CLABELRAWTreeBuilder&) = delete;

  // 0 for a record without a label kind; 1 when nothing was to be added;
  // else the builder's answer for the last node handed over.
  int InsertNodeToTree(CRawFileInfo* record, IDirecotryTreeBuilder* builder, int sectorSize = 512);

 private:
  CRAWFileNode* MakeFolder(const std::string& name, long long parentId, long long nodeId);
  // The value folder's id, or -1 (an office label on another type).
  long long MakeValueFolder(long long parentId, int kind, int type, const std::string& value, const std::string& key);

  // Folders by id only: once handed over they belong to the tree builder.
  std::map<int, long long> m_keyFolders;
  std::map<std::string, long long> m_namedFolders;
  std::list<CRAWFileNode*> m_made;
};
