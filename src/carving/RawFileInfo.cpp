#include "carving/RawFileInfo.h"

#include "carving/FileNameFilter.h"

void CRawFileInfo::SetRawFileName(const std::string& name) { m_strName = ApiStrFilterBadFileName(name); }

std::string CRawFileInfo::GetRawFileName() const { return ApiStrFilterBadFileName(m_strName); }

void CRawFileInfo::SetRawFileTagAndValue(RAW_FILE_TAG tag, std::string& value) {
  value = ApiStrFilterBadFileName(value);
  m_eTag = tag;
  m_strTagValue = value;
}

void CRawFileInfo::GetRawFileTagAndValue(RAW_FILE_TAG& tag, std::string& value) const {
  tag = m_eTag;
  value = ApiStrFilterBadFileName(m_strTagValue);
}
