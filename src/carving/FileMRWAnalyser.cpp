#include "carving/FileMRWAnalyser.h"

#include "core/util/ByteView.h"

int FileMRWAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr) return 0;
  const ByteView v(sector, 512);
  // Header blocks, then height x width pixels of the given bit depth.
  const unsigned long long blocks = v.U32Be(4);
  const unsigned long long bits = static_cast<unsigned long long>(v.U8(32)) * v.U16Be(24) * v.U16Be(26);
  probe.m_eType = kRawTypeMrw;
  probe.m_llSize = static_cast<long long>(blocks + bits / 8 + 8);
  return 1;
}
