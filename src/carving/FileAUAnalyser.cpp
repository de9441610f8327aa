#include "carving/FileAUAnalyser.h"

#include "core/util/ByteView.h"

int FileAUAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr) return 0;
  const ByteView v(sector, 512);
  probe.m_eType = kRawTypeAu;
  const unsigned offset = v.U32Be(4);
  const unsigned size = v.U32Be(8);
  if (offset <= 23 || size == 0xFFFFFFFFu) {
    probe.m_llSize = 0;
    return 0;
  }
  probe.m_llSize = static_cast<long long>(offset) + size;
  return 1;
}
