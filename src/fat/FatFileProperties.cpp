#include "fat/FatFileProperties.h"

#include <cstring>

#include "fat/FatDosTime.h"

CFATFileProperties::~CFATFileProperties() {
  if (m_runs != nullptr) m_runs->Release();
}

void CFATFileProperties::SetFileName(const char* name) {
  if (name == nullptr) {
    m_name.clear();
    m_hasName = false;
    return;
  }
  m_name = name;
  m_hasName = true;
  m_nameLength = static_cast<std::uint16_t>(std::strlen(name));
}

CFATFileProperties& CFATFileProperties::operator=(const CFATFileProperties& other) {
  if (&other == this) return *this;
  SetFileName(other.m_hasName ? other.m_name.c_str() : nullptr);
  m_state = other.m_state;
  m_attribute = other.m_attribute;
  m_firstCluster = other.m_firstCluster;
  m_parentFirstCluster = other.m_parentFirstCluster;
  m_creationTime = other.m_creationTime;
  m_modificationTime = other.m_modificationTime;
  m_lastAccessTime = other.m_lastAccessTime;
  m_fileSize = other.m_fileSize;
  return *this;
}

IFileProperties* CFATFileProperties::Clone() {
  CFATFileProperties* copy = Create();
  *copy = *this;
  copy->m_nameLength = m_nameLength;
  copy->m_metadataSector = m_metadataSector;
  copy->m_runs = m_runs != nullptr ? m_runs->Clone() : nullptr;
  return copy;
}

void CFATFileProperties::SetCreationTime(std::uint16_t date, std::uint16_t time) {
  m_creationTime = DosDateTimeToFileTime(date, time);
}

void CFATFileProperties::SetModificationTime(std::uint16_t date, std::uint16_t time) {
  m_modificationTime = DosDateTimeToFileTime(date, time);
}

void CFATFileProperties::SetLastAccessDate(std::uint16_t date) { m_lastAccessTime = DosDateTimeToFileTime(date, 0); }

void CFATFileProperties::SetDataRunList(IDataRunList* runs) {
  if (m_runs == runs) return;
  if (m_runs != nullptr) m_runs->Release();
  m_runs = runs;
}
