#include "carving/FileBMPAnalyser.h"

#include "core/util/ByteView.h"

int FileBMPAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr) return 0;
  const ByteView v(sector, 512);
  if (v.U16Le(0) != 0x4D42 || v.U16Le(6) != 0 || v.U16Le(8) != 0) return 0;
  probe.m_eType = kRawTypeBmp;
  const unsigned info = v.U32Le(14);
  const unsigned size = v.U32Le(2);
  // The pixel data lie after both headers.
  if ((info != 40 && info != 124) || size < 14 + info) {
    probe.m_llSize = 0;
    return 0;
  }
  probe.m_llSize = size;
  return 1;
}
