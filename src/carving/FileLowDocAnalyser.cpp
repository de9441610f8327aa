#include "carving/FileLowDocAnalyser.h"

#include "core/util/ByteView.h"

int FileLowDocAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr) return 0;
  const ByteView v(sector, 512);
  const unsigned long long end = static_cast<unsigned long long>(v.U32Le(292)) + v.U16Le(296);
  probe.m_eType = kRawTypeDoc;
  probe.m_llSize = static_cast<long long>((end + 511) / 512 * 512);
  return 1;
}
