#include "carving/RawFileProperties.h"

#include "carving/RawFileInfo.h"
#include "core/util/Assert.h"

CRAWFileProperties::~CRAWFileProperties() {
  if (m_bOwnsRuns && m_pRuns != nullptr) m_pRuns->Release();
}

IFileProperties* CRAWFileProperties::Clone() {
  auto* copy = new CRAWFileProperties();
  copy->m_strName = m_strName;
  copy->m_llSize = m_llSize;
  copy->m_uAttribute = m_uAttribute;
  copy->m_strTime = m_strTime;
  copy->m_pRuns = m_pRuns != nullptr ? m_pRuns->Clone() : nullptr;
  copy->m_uCheck = m_uCheck;
  copy->m_iMatch = m_iMatch;
  copy->m_uState = m_uState;
  return copy;
}

void CRAWFileProperties::InitRawFileProperties(const CRawFileInfo& info, int sectorSize) {
  if (sectorSize <= 0) sectorSize = 512;
  m_llSize = info.m_llSize < 0 ? 0 : info.m_llSize;
  m_strTime = info.m_strTime;
  if (m_bOwnsRuns && m_pRuns != nullptr) m_pRuns->Release();
  m_pRuns = CreateDataRunList();
  m_bOwnsRuns = true;
  DataRun run;
  run.start = info.m_llStartSector;
  run.length = (m_llSize + sectorSize - 1) / sectorSize;
  m_pRuns->AddDataRun(&run);
}

void CRAWFileProperties::SetRawFileName(const char* name) {
  QV_ASSERT(name != nullptr);
  m_strName = name;
}

IDataRunList* CRAWFileProperties::TakeDataRunList() {
  m_bOwnsRuns = false;
  return m_pRuns;
}
