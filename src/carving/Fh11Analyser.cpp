#include "carving/Fh11Analyser.h"

#include <cstring>

namespace BruteForce {

int CFH11Analyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  static constexpr unsigned char kMagic[] = {0x02, 0x00, 0x04, 0x1C, 0x01, 0x14, 0x00, 0x02, 0x00, 0x14, 0x1C, 0x01};
  if (sector == nullptr || std::memcmp(sector + 4, kMagic, sizeof(kMagic)) != 0) return 0;
  if (sector[34] != 0x31 || sector[35] != 0x31) return 0;
  probe.m_eType = kRawTypeFh11;
  return 1;
}

}  // namespace BruteForce
