#include "carving/LabelRawTreeBuilder.h"

#include "carving/RawFileInfo.h"
#include "carving/RawFileNode.h"

long long CLABELRAWTreeBuilder::m_gRawCount = 2001;

namespace {

struct KeyFolder {
  const char* name;
  long long id;
};

bool KeyFolderOf(int kind, KeyFolder& out) {
  static constexpr KeyFolder kFolders[] = {{"Artists", 242}, {"Camera", 241}, {"Office", 243},
                                           {"MOV", 248},     {"PDF", 249},    {"AI", 250}};
  if (kind < 0 || kind > 5) return false;
  out = kFolders[kind];
  return true;
}

// The office sub-folder of a type; false for other types.
bool OfficeFolderOf(int type, KeyFolder& out) {
  switch (type) {
    case 23:
    case 73:
      out = {"Word", 244};
      return true;
    case 71:
    case 74:
      out = {"Excel", 245};
      return true;
    case 52:
    case 75:
      out = {"PowerPoint", 246};
      return true;
    default:
      return false;
  }
}

std::string KeyName(int kind, int type, const std::string& value) {
  switch (kind) {
    case kRawTagArtists:
      return value + "_MP3";
    case kRawTagCamera:
      return value + "_CAMERA";
    case kRawTagOffice: {
      KeyFolder f{};
      return OfficeFolderOf(type, f) ? value + "_" + f.name : value;
    }
    case kRawTagMov:
      return value + "_MOV";
    case kRawTagPdf:
      return value + "_PDF";
    default:
      return value;
  }
}

}  // namespace

CRAWFileNode* CLABELRAWTreeBuilder::MakeFolder(const std::string& name, long long parentId, long long nodeId) {
  CRawFileInfo record;
  record.m_llStartSector = -1;
  record.m_llSize = 0;
  record.m_eType = kRawTypeRaw;
  record.m_strName = name;
  auto* folder = new CRAWFileNode();
  folder->Initilaize(&record, 0x10, parentId, nodeId);
  return folder;
}

long long CLABELRAWTreeBuilder::MakeValueFolder(long long parentId, int kind, int type, const std::string& value,
                                                const std::string& key) {
  if (kind == kRawTagOffice) {
    KeyFolder sub{};
    if (!OfficeFolderOf(type, sub)) return -1;
    auto it = m_namedFolders.find(sub.name);
    if (it == m_namedFolders.end()) {
      m_made.push_back(MakeFolder(sub.name, parentId, sub.id));
      it = m_namedFolders.emplace(sub.name, sub.id).first;
    }
    parentId = it->second;
  }
  const long long id = m_gRawCount++;
  m_made.push_back(MakeFolder(value, parentId, id));
  m_namedFolders[key] = id;
  return id;
}

int CLABELRAWTreeBuilder::InsertNodeToTree(CRawFileInfo* record, IDirecotryTreeBuilder* builder, int sectorSize) {
  if (record == nullptr) return 0;
  RAW_FILE_TAG kind = kRawTagNone;
  std::string value;
  record->GetRawFileTagAndValue(kind, value);
  if (kind == kRawTagNone) return 0;
  m_made.clear();
  const std::string key = KeyName(kind, record->m_eType, value);

  long long parentId = -1;
  auto keyIt = m_keyFolders.find(kind);
  if (keyIt == m_keyFolders.end()) {
    KeyFolder kf{};
    if (!KeyFolderOf(kind, kf)) return 1;
    m_made.push_back(MakeFolder(kf.name, kRootId, kf.id));
    m_keyFolders.emplace(kind, kf.id);
    parentId = MakeValueFolder(kf.id, kind, record->m_eType, value, key);
  } else {
    auto named = m_namedFolders.find(key);
    parentId = named != m_namedFolders.end() ? named->second
                                             : MakeValueFolder(keyIt->second, kind, record->m_eType, value, key);
  }

  int result = 1;
  if (parentId >= 0) {
    auto* file = new CRAWFileNode();
    file->Initilaize(record, 32, parentId, m_gRawCount++, sectorSize);
    result = builder != nullptr ? builder->AddNode(file, kSearcherRawByLabel) : 0;
    if (result == 0) file->Release();
  }
  // Folders go over after the file, in the order they were made.
  for (CRAWFileNode* folder : m_made) {
    result = builder != nullptr ? builder->AddNode(folder, kSearcherRawByLabel) : 0;
    if (result == 0) folder->Release();
  }
  m_made.clear();
  return result;
}
