#include "carving/WpgAnalyser.h"

#include <cstring>

namespace RawSpeed {

int WpgAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr) return 0;
  static constexpr unsigned char kMagic[] = {0x77, 0x70, 0x67, 0x00};
  if (std::memcmp(sector, kMagic, 4) != 0) return 0;
  probe.m_eType = kRawTypeWpg;
  return 1;
}

CRawFileInfo* WpgAnalyser::CreateRawFileInfo() {
  return new CZeroTailRecord(69, nullptr, CZeroTailRecord::Rule{0, 5ULL * 100000000ULL, 0, 16, streammember::kFormC});
}

}  // namespace RawSpeed
