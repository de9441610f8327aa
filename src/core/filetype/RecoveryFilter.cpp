#include "core/filetype/RecoveryFilter.h"

#include <cstring>

namespace {
constexpr unsigned kCategoryBits[] = {kFilterDocument, kFilterPicture, kFilterMovie, kFilterMusic,
                                      kFilterArchive,  kFilterEmail,   kFilterOther};
}  // namespace

CRecoveryFilter::CRecoveryFilter() { m_typeManager.Initialize(); }

int CRecoveryFilter::ShowNormalFiles() const { return m_uScanType.load(std::memory_order_relaxed) != 0 ? 1 : 0; }

void CRecoveryFilter::SetScanType(_SCAN_TYPE type) {
  m_uScanType.store(static_cast<unsigned>(type), std::memory_order_relaxed);
}

void CRecoveryFilter::SetFilterTypes(unsigned mask) {
  unsigned allowed = 0;
  if (mask != kFilterAll) {
    for (const unsigned bit : kCategoryBits)
      if ((mask & bit) != 0) allowed |= 1u << FilterBitToFileTypeId(bit);
  }
  std::lock_guard<std::mutex> guard(m_setLock);
  m_uFilterMask.store(mask, std::memory_order_release);
  m_uAllowedIds.store(allowed, std::memory_order_release);
}

std::set<int> CRecoveryFilter::GetAllowedTypes() const {
  const unsigned allowed = m_uAllowedIds.load(std::memory_order_acquire);
  std::set<int> ids;
  for (int id = kFileTypeDocument; id <= kFileTypeOther; ++id)
    if ((allowed & (1u << id)) != 0) ids.insert(id);
  return ids;
}

FILE_TYPE_ID CRecoveryFilter::GetNodeType(IFileNode* node) const {
  if (node == nullptr) return kFileTypeOther;
  const char* name = node->GetFileName();
  if (name == nullptr) return kFileTypeOther;
  const char* dot = std::strrchr(name, '.');
  if (dot == nullptr) return kFileTypeOther;
  return m_typeManager.GetFileTypeID(dot + 1);
}

int CRecoveryFilter::IsFileNodeValid(IFileNode* node) {
  if (node == nullptr) return 0;
  const unsigned allowed = m_uAllowedIds.load(std::memory_order_acquire);
  if (allowed == 0) return 1;
  if (node->IsDirectory() != 0) return 1;
  return (allowed & (1u << GetNodeType(node))) != 0 ? 1 : 0;
}

unsigned CRecoveryFilter::GetNodeFileType(IFileNode* node) { return FileTypeIdToFilterBit(GetNodeType(node)); }

IRecoveryFilter* CreateFilter() {
  static CRecoveryFilter s_filter;
  return &s_filter;
}
