#include "bridge/QVUIFilter.h"

#include <mutex>

#include "core/filetype/DefaultFileTypes.h"
#include "core/filetype/FileTypeManager.h"
#include "core/filetype/RecoveryFilter.h"

void QVUIFilter::InitFileTypes() {
  static std::once_flag once;
  std::call_once(once, [] { CFileTypeManager::Initialze(DefaultFileTypeLists()); });
}

QVUIFilter* QVUIFilter::instance() {
  // Never destroyed: a job or polling thread may still use it at exit.
  static QVUIFilter* object = new QVUIFilter();
  return object;
}

QVUIFilter::QVUIFilter() {
  InitFileTypes();
  m_pFilter = CreateFilter();
}

QVUIFilter::~QVUIFilter() {
  if (m_pFilter != nullptr) m_pFilter->Release();
}

IRecoveryFilter* QVUIFilter::GetFilter() { return m_pFilter; }

void QVUIFilter::ResetFilter(unsigned mask) {
  if (m_pFilter == nullptr) m_pFilter = CreateFilter();
  if (m_pFilter != nullptr) m_pFilter->SetFilterTypes(mask);
}
