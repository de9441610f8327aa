#include "carving/FilePSTAnalyser.h"

#include "core/util/ByteView.h"

namespace {
// A store never ends inside its own header sector.
constexpr long long kHeaderBytes = 512;
}  // namespace

int FilePSTAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr) return 0;
  const ByteView v(sector, 512);
  long long size = 0x100000;
  if (v.U8(10) == 0x17) {
    size = v.U32Le(184);  // Unicode store
  } else if (v.U8(10) == 0x0E) {
    size = v.U32Le(168);  // ANSI store
  }
  if (size < kHeaderBytes) return 0;
  probe.m_eType = kRawTypePst;
  probe.m_llSize = size;
  return 1;
}
