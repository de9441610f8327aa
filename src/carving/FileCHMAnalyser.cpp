#include "carving/FileCHMAnalyser.h"

#include "core/util/ByteView.h"

namespace {
// The two GUIDs of the ITSF header; the second differs in its first byte.
const unsigned char kGuid[16] = {0x10, 0xFD, 0x01, 0x7C, 0xAA, 0x7B, 0xD0, 0x11,
                                 0x9E, 0x0C, 0x00, 0xA0, 0xC9, 0x22, 0xE6, 0xEC};
// The header and its first section end here; a smaller file cannot hold them.
constexpr long long kHeaderEnd = 120;
}  // namespace

int FileCHMAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr) return 0;
  const ByteView v(sector, 512);
  unsigned char second[16];
  for (int i = 0; i < 16; ++i) second[i] = kGuid[i];
  second[0] = 0x11;
  if (v.U32Le(8) != 96 || !v.Equals(24, kGuid, 16) || !v.Equals(40, second, 16) || v.U32Le(96) != 510 ||
      v.U32Le(112) != 0 || v.U32Le(116) != 0) {
    return 0;
  }
  const auto size = static_cast<long long>(v.U64Le(104));
  if (size < kHeaderEnd) return 0;
  probe.m_eType = kRawTypeChm;
  probe.m_llSize = size;
  return 1;
}
