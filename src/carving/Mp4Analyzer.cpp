#include "carving/Mp4Analyzer.h"

#include <cstring>
#include <strings.h>

namespace BruteForce {

Mp4Analyzer::Mp4Analyzer() : m_pReader(std::make_unique<FileMP4Analyser>()) { m_eType = kTypeMp4; }
Mp4Analyzer::~Mp4Analyzer() = default;

int Mp4Analyzer::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr) return 0;
  static constexpr const char* kStarts[] = {"ftypisom", "ftypmmp4", "ftypM4A", "ftypM4V", "ftypmp4"};
  const char* text = reinterpret_cast<const char*>(sector + 4);
  for (const char* s : kStarts) {
    if (strncasecmp(text, s, std::strlen(s)) != 0) continue;
    int type = kTypeMp4;
    if (strcasestr(s, "M4A") != nullptr) {
      type = kTypeM4a;
    } else if (strcasestr(s, "M4V") != nullptr) {
      type = kTypeM4v;
    } else if (std::memcmp(sector + 28, "free", 4) == 0) {
      type = kTypeTrec;
    }
    probe.m_eType = type;
    m_eType = type;
    return 1;
  }
  return 0;
}

}  // namespace BruteForce
