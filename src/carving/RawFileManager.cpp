#include "carving/RawFileManager.h"

#include <cctype>

#include "carving/LabelRawTreeBuilder.h"
#include "carving/RawFileInfo.h"
#include "carving/RawFileNode.h"

int CRAWFileManager::g_nID = 10;

CRAWFileManager::CRAWFileManager(int folderParentId, FILE_TYPE_ID category, IDirecotryTreeBuilder* builder,
                                 CLABELRAWTreeBuilder* labels, long long* nextFileId, int sectorSize)
    : m_pNextId(nextFileId != nullptr ? nextFileId : &m_llOwnNextId),
      m_iFolderParentId(folderParentId),
      m_eCategory(category),
      m_pBuilder(builder),
      m_pLabels(labels),
      m_iSectorSize(sectorSize > 0 ? sectorSize : 512) {
  if (m_pLabels == nullptr) m_pLabels = m_pOwnLabels = new CLABELRAWTreeBuilder();
}

CRAWFileManager::~CRAWFileManager() { delete m_pOwnLabels; }

int CRAWFileManager::AddRawFileInfo(CRawFileInfo* info) {
  if (info == nullptr) return 0;
  const long long id = (*m_pNextId)++;
  return AddNode(info, 32, static_cast<int>(m_eCategory), id);
}

int CRAWFileManager::AddNode(CRawFileInfo* info, unsigned int attribute, int parentId, long long nodeId) {
  if (info == nullptr) return 0;
  RAW_FILE_TAG kind = kRawTagNone;
  std::string value;
  info->GetRawFileTagAndValue(kind, value);
  // Only a find with a label kind has a place in the label tree.
  if (kind != kRawTagNone) return m_pLabels->InsertNodeToTree(info, m_pBuilder, m_iSectorSize);

  auto* node = new CRAWFileNode();
  if (node->Initilaize(info, attribute, parentId, nodeId, m_iSectorSize) == 0 || m_pBuilder == nullptr) {
    node->Release();
    return 0;
  }
  const std::string name = node->GetFileName();
  const std::size_t dot = name.rfind('.');
  std::string ext = dot == std::string::npos ? std::string() : name.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));

  CRAWFileNode* folder = nullptr;
  auto it = m_folders.find(ext);
  if (it != m_folders.end()) {
    node->SetParentNodeID(it->second);
  } else {
    CRawFileInfo record;
    record.m_llStartSector = -1;
    record.m_strName = ext;
    folder = new CRAWFileNode();
    folder->Initilaize(&record, 0x10, m_iFolderParentId, g_nID);
    m_folders.emplace(ext, g_nID);
    node->SetParentNodeID(g_nID);
    ++g_nID;
  }
  if (m_pBuilder->AddNode(node, kSearcherRawByType) == 0) {
    node->Release();
    if (folder != nullptr) {
      // The folder's id stays taken; it is made again for the next file.
      m_folders.erase(ext);
      folder->Release();
    }
    return 0;
  }
  if (folder == nullptr) return 1;
  if (m_pBuilder->AddNode(folder, kSearcherRawByType) == 0) {
    folder->Release();
    return 0;
  }
  return 1;
}
