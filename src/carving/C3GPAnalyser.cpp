#include "carving/C3GPAnalyser.h"

#include <cstring>
#include <strings.h>

namespace BruteForce {

int C3GPAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr) return 0;
  static constexpr const char* kStarts[] = {"ftyp3g2a", "ftyp3gp", "ftypmmp4"};
  for (const char* s : kStarts) {
    if (strncasecmp(reinterpret_cast<const char*>(sector + 4), s, std::strlen(s)) == 0) {
      probe.m_eType = kType3gp;
      probe.m_llSize = 0;
      return 1;
    }
  }
  return 0;
}

}  // namespace BruteForce
