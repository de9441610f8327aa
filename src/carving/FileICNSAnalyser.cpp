#include "carving/FileICNSAnalyser.h"

#include "core/util/ByteView.h"

namespace {
// The size includes the 8-byte header it stands in.
constexpr unsigned kMinSize = 8;
constexpr unsigned kMaxSize = 10905190;
}  // namespace

int FileICNSAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr) return 0;
  const ByteView v(sector, 512);
  const unsigned size = v.U32Be(4);
  if (size < kMinSize || size > kMaxSize) return 0;
  probe.m_eType = kRawTypeIcns;
  probe.m_llSize = size;
  return 1;
}
