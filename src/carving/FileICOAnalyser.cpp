#include "carving/FileICOAnalyser.h"

#include "core/util/ByteView.h"

int FileICOAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr) return 0;
  const ByteView v(sector, 512);
  const unsigned kind = v.U16Le(2);
  const unsigned count = v.U16Le(4);
  if (v.U16Le(0) != 0 || (kind != 1 && kind != 2) || count < 1 || count > 16) return 0;
  long long size = 6;
  for (unsigned i = 0; i < count; ++i) {
    const std::size_t e = 6 + 16 * static_cast<std::size_t>(i);
    const unsigned bytes = v.U32Le(e + 8);
    const unsigned offset = v.U32Le(e + 12);
    if (v.U8(e + 3) != 0 || v.U16Le(e + 6) > 256 || bytes > 0xA00000 || offset > 0xA00000) return 0;
    size += static_cast<long long>(bytes) + 16;
  }
  if (size > 0x100000) return 0;
  probe.m_eType = kind == 1 ? kRawTypeIco : kRawTypeCur;
  probe.m_llSize = size;
  return 1;
}
