#include "carving/Psafe3Analyser.h"

#include <cstring>

namespace RawSpeed {

int PSAFE3Analyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr) return 0;
  if (!streammember::EqualsNoCase(sector, "PWS3", 4) && !streammember::EqualsNoCase(sector + 3, "PWS3", 4)) return 0;
  probe.m_eType = kRawTypePsafe3;
  return 1;
}

CRawFileInfo* PSAFE3Analyser::CreateRawFileInfo() {
  return new CZeroTailRecord(136, nullptr, CZeroTailRecord::Rule{20, 0x3200000, 0, 8, streammember::kFormA});
}

}  // namespace RawSpeed
