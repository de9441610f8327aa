#include "ntfs/SearchedNtfsPartitionInfo.h"

#include <algorithm>

int CSearchedNTFSPartitionInfo::ComputeScore() const {
  int score = 0;
  if (m_uFlags & kEvidenceBoot) score += 30;
  if (m_uFlags & kEvidenceBootCopy) score += 10;
  if (m_uFlags & kEvidenceMftConfirmed) score += 30;
  if (m_uFlags & kEvidenceMft) score += 10;
  if (m_uFlags & kEvidenceMftMirror) score += 10;
  if (m_uFlags & kEvidenceRestart1) score += 10;
  if (m_uFlags & kEvidenceRestart2) score += 10;
  const auto term = [](long long matched, long long unit) {
    return matched <= 0 ? 0 : static_cast<int>(std::min<long long>(10, 10 * (matched / unit)));
  };
  score += term(m_llUpCaseMatch, 256) + term(m_llLogFileMatch, 10000) + term(m_llAttrDefMatch, 5);
  return score;
}
