#include "carving/JksAnalyser.h"

#include <cstring>

namespace RawSpeed {

int JKSAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr) return 0;
  static constexpr unsigned char kMagic[] = {0xFE, 0xED, 0xFE, 0xED};
  if (std::memcmp(sector, kMagic, 4) != 0) return 0;
  probe.m_eType = kRawTypeJks;
  return 1;
}

CRawFileInfo* JKSAnalyser::CreateRawFileInfo() {
  return new CZeroTailRecord(135, nullptr, CZeroTailRecord::Rule{20, 0xA00000, 0, 8, streammember::kFormA});
}

}  // namespace RawSpeed
