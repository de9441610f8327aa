#include "carving/FileWMFAnalyser.h"

#include "core/util/ByteView.h"

int FileWMFAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr) return 0;
  const ByteView v(sector, 512);
  long long size = 0;
  if (v.U32Le(0) == 0x00090001u) {
    if (v.U16Le(16) != 0) return 0;
    size = 2LL * v.U32Le(6);
  } else {
    static constexpr unsigned char kPlaceable[] = {0xD7, 0xCD, 0xC6, 0x9A, 0x00, 0x00};
    if (!v.Equals(0, kPlaceable, sizeof(kPlaceable))) return 0;
    unsigned sum = 0;
    for (std::size_t k = 0; k < 20; k += 2) sum ^= v.U16Le(k);
    if (sum != v.U16Le(20) || v.U16Le(4) != 0 || v.U32Le(16) != 0 || v.U32Le(22) != 0x00090001u || v.U16Le(38) != 0) {
      return 0;
    }
    size = 2LL * v.U32Le(28) + 22;
  }
  if (size <= 0) return 0;
  probe.m_eType = kRawTypeWmf;
  probe.m_llSize = size;
  return 1;
}
