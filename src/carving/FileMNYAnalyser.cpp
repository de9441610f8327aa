#include "carving/FileMNYAnalyser.h"

#include "core/util/ByteView.h"

int FileMNYAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr) return 0;
  const ByteView v(sector, 512);
  if (!v.Equals(4, "MSISAM Database", 15)) return 0;
  probe.m_eType = kRawTypeMny;
  probe.m_llSize = 0x100000;
  return 1;
}
