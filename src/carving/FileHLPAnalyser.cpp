#include "carving/FileHLPAnalyser.h"

#include "core/util/ByteView.h"

int FileHLPAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr) return 0;
  const ByteView v(sector, 512);
  const unsigned size = v.U32Le(12);
  const unsigned directory = v.U32Le(4);
  if (size < 512 || size < directory) return 0;
  probe.m_eType = kRawTypeHlp;
  probe.m_llSize = size;
  return 1;
}
