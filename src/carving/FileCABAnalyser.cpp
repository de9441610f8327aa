#include "carving/FileCABAnalyser.h"

#include "core/util/ByteView.h"

int FileCABAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr) return 0;
  const ByteView v(sector, 512);
  probe.m_eType = kRawTypeCab;
  if (v.U32Le(4) != 0 || v.U32Le(12) != 0 || v.U32Le(20) != 0 || v.U16Le(24) != 0x0103 || v.U32Le(8) == 0) {
    probe.m_llSize = 0;
    return 0;
  }
  probe.m_llSize = v.U32Le(8);
  return 1;
}
