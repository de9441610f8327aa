#include "carving/FileSWFAnalyser.h"

#include "core/util/ByteView.h"

int FileSWFAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr) return 0;
  const ByteView v(sector, 512);
  const bool plain = v.Equals(0, "FWS", 3);
  const bool packed = v.Equals(0, "CWS", 3);
  const unsigned version = v.U8(3);
  if ((!plain && !packed) || version >= 0x21 || (packed && version < 6)) return 0;
  const unsigned length = v.U32Le(4);
  if (length <= 8) return 0;
  probe.m_eType = kRawTypeSwf;
  probe.m_llSize = plain ? length : static_cast<long long>(length) + 8;
  return 1;
}
