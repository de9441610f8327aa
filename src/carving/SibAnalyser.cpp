#include "carving/SibAnalyser.h"

#include <cstring>

namespace RawSpeed {

int SIBAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr) return 0;
  if (sector[0] != 0x0F || !streammember::EqualsNoCase(sector + 1, "SIBELIUS", 8)) return 0;
  probe.m_eType = kRawTypeSib;
  return 1;
}

CRawFileInfo* SIBAnalyser::CreateRawFileInfo() {
  return new CZeroTailRecord(134, nullptr, CZeroTailRecord::Rule{512, 0xA00000, 0, 8, streammember::kFormA});
}

}  // namespace RawSpeed
