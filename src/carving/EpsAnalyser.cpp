#include "carving/EpsAnalyser.h"

#include <algorithm>
#include <cstring>

namespace BruteForce {

int CEPSAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr) return 0;
  static constexpr unsigned char kBinary[] = {0xC5, 0xD0, 0xD3, 0xC6};
  if (std::memcmp(sector, "%!PS", 4) == 0) {
    if (std::memcmp(sector, "%!PS-Adobe-", 11) != 0) return 0;
    m_bTextForm = true;
    probe.m_eType = kRawTypeEps;
    return 1;
  }
  if (std::memcmp(sector, kBinary, 4) != 0) return 0;
  const ByteView h(sector, 28);
  const long long ps = static_cast<long long>(h.U32Le(4)) + h.U32Le(8);
  const long long wmf = static_cast<long long>(h.U32Le(12)) + h.U32Le(16);
  const long long tif = static_cast<long long>(h.U32Le(20)) + h.U32Le(24);
  m_bTextForm = false;
  probe.m_llSize = std::max({ps, wmf, tif});
  probe.m_eType = kRawTypeEps;
  return probe.m_llSize > 0 ? 1 : 0;
}

CRawFileInfo* CEPSAnalyser::CreateRawFileInfo() {
  if (!m_bTextForm) return new CRawFileInfo();
  return new CZeroEndRawFileInfo(27, kCap, 1);
}

}  // namespace BruteForce
