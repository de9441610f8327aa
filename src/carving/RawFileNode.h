#pragma once
// A carved file or folder in the trees of carved files (by extension, by
// label).

#include <string>
#include <vector>

#include "carving/RawFileProperties.h"
#include "core/model/FileNode.h"

class CRawFileInfo;

// Files named so far by the counter rule, per type; reset by every search.
extern std::vector<int> g_s_CountPerFileTypeVector;
void ResetRawFileNameCounters();

// Longest name stem taken from metadata (names over 255 bytes cannot be
// created on Linux).
constexpr std::size_t kRawFileNameStemLimit = 200;

class CRAWFileNode : public CFileNode {
 public:
  CRAWFileNode() = default;
  ~CRAWFileNode() override;

  // Properties, name, extent and ids from the record; 0 without a record.
  int Initilaize(const CRawFileInfo* info, unsigned int attribute, long long parentId, long long nodeId,
                 int sectorSize = 512);
  // "%s%03d.%s" (name, counter, extension) for a valid UTF-8 name, else
  // "FILE%03d.%s"; the type's counter then grows by one.
  static std::string BuildFileName(unsigned short type, const std::string& name);
  // FILETIME of a "YYYY:MM:DD HH:MM:SS"-like text (fields split at ' ', '-'
  // and ':'), read as UTC; 0 when it is not one.
  static long long ParseTimeText(const std::string& text);

  const char* GetFileName() override { return m_strName.c_str(); }
  long long GetFileSize() override { return m_pProperties != nullptr ? m_pProperties->GetFileSize() : 0; }
  unsigned int GetAttribute() override { return m_pProperties != nullptr ? m_pProperties->GetAttribute() : 0x10; }
  long long GetCreationTime() override { return m_llTime; }
  long long GetModificationTime() override { return m_llTime; }
  long long GetLastAccessTime() override { return m_llTime; }
  int IsDirectory() override { return m_pProperties == nullptr || (m_pProperties->GetAttribute() & 0x10) != 0; }
  int IsDeleted() override { return 0; }
  // A copy without links, owned by the caller.
  IFileNode* Clone() override;
  void MarkDeleted() override {}
  void FilterFileNameByDot() override {}

 private:
  CRAWFileProperties* m_pProperties = nullptr;
  std::string m_strName;
  long long m_llTime = 0;
};
