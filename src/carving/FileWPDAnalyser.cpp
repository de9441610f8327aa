#include "carving/FileWPDAnalyser.h"

#include "core/util/ByteView.h"

namespace {
struct Product {
  unsigned at8;
  unsigned at14;
  RAW_FILE_TYPE type;
};
constexpr Product kProducts[] = {
    {0x01020A01, 0x00050200, 68},  // WPD
    {0x00021601, 0x00030000, 69},  // WPG
    {0x00010F0F, 0x00030000, 61},  // SHW
};
// The size cannot end before the field that gives it.
constexpr unsigned kMinSize = 24;
}  // namespace

int FileWPDAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr) return 0;
  const ByteView v(sector, 512);
  const unsigned at8 = v.U32Le(8);
  const unsigned at14 = v.U32Le(14);
  for (const Product& p : kProducts) {
    if (p.at8 != at8 || p.at14 != at14) continue;
    const unsigned size = v.U32Le(20);
    if (size < kMinSize) return 0;
    probe.m_eType = p.type;
    probe.m_llSize = size;
    return 1;
  }
  return 0;
}
