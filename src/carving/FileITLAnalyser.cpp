#include "carving/FileITLAnalyser.h"

#include "core/util/ByteView.h"

namespace {
// The size cannot end before the field that gives it.
constexpr unsigned kMinSize = 12;
}  // namespace

int FileITLAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr) return 0;
  const ByteView v(sector, 512);
  const unsigned size = v.U32Be(8);
  if (size < kMinSize) return 0;
  probe.m_eType = kRawTypeItl;
  probe.m_llSize = size;
  return 1;
}
