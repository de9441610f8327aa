#pragma once
// Size, attribute, time text and single extent of a carved file or folder.

#include <string>

#include "core/model/Contracts.h"

class CRawFileInfo;

class CRAWFileProperties : public IFileProperties {
 public:
  static CRAWFileProperties* Create() { return new CRAWFileProperties(); }
  static void Destory(CRAWFileProperties* p) { delete p; }

  ~CRAWFileProperties() override;
  CRAWFileProperties(const CRAWFileProperties&) = delete;
  CRAWFileProperties& operator=(const CRAWFileProperties&) = delete;

  int GetFileNameLength() override { return static_cast<int>(m_strName.size()) + 1; }
  void SetFileName(const char*) override {}
  const char* GetFileName() override { return m_strName.c_str(); }
  long long GetFileSize() override { return m_llSize; }
  unsigned int GetAttribute() override { return m_uAttribute; }
  long long GetRawFileCreateTime() override { return 0; }
  long long GetCreationTime() override { return 0; }
  long long GetModificationTime() override { return 0; }
  long long GetLastAccessTime() override { return 0; }
  unsigned short GetState() override { return m_uState; }
  void SetState(unsigned short state) override { m_uState = state; }
  IDataRunList* GetDataRunList() override { return m_pRuns; }
  // A copy with its own extent list, owned by the caller.
  IFileProperties* Clone() override;
  unsigned char GetCheckState() const { return m_uCheck; }
  void SetCheckState(unsigned char s) { m_uCheck = s; }
  int GetMaskFlag() const { return 463; }
  int GetMatchState() const { return m_iMatch; }
  int SetMatchState(int s) {
    m_iMatch = s;
    return 1;
  }

  // Size, time text and one extent (start sector, whole sectors of
  // `sectorSize` bytes) from the record.
  void InitRawFileProperties(const CRawFileInfo& info, int sectorSize = 512);
  void SetAttribute(unsigned short attribute) { m_uAttribute = attribute; }
  void SetRawFileName(const char* name);
  void SetRawFileTime(const std::string& text) { m_strTime = text; }
  const std::string& GetRawFileTimeText() const { return m_strTime; }
  int GetFilePropertyiesType() const { return 3; }
  // Hands the extent list over (the node owns it from then on).
  IDataRunList* TakeDataRunList();

 private:
  CRAWFileProperties() = default;

  std::string m_strName;
  long long m_llSize = 0;
  unsigned short m_uAttribute = 0;
  std::string m_strTime;
  IDataRunList* m_pRuns = nullptr;
  bool m_bOwnsRuns = true;
  unsigned char m_uCheck = 0;
  int m_iMatch = 0;
  unsigned short m_uState = 0;
};
