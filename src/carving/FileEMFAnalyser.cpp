#include "carving/FileEMFAnalyser.h"

#include "core/util/ByteView.h"

int FileEMFAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr) return 0;
  const ByteView v(sector, 512);
  if (v.U32Le(0) != 1 || !v.Equals(40, " EMF", 4) || v.U16Le(58) != 0 || v.U32Le(48) == 0) return 0;
  probe.m_eType = kRawTypeEmf;
  probe.m_llSize = v.U32Le(48);
  return 1;
}
