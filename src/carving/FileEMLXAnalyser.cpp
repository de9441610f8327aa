#include "carving/FileEMLXAnalyser.h"

#include "core/util/ByteView.h"

namespace {
// The property list after the message.
constexpr long long kTrailer = 402;
}  // namespace

int FileEMLXAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr) return 0;
  const ByteView v(sector, 512);
  if (!v.Equals(11, "X-QQ-FEAT:", 10)) return 0;
  // The decimal length at the start of the first ten bytes (leading blanks
  // and a sign allowed); at most ten digits, so it cannot overflow.
  std::size_t i = 0;
  while (i < 10 && (v.U8(i) == ' ' || (v.U8(i) >= '\t' && v.U8(i) <= '\r'))) ++i;
  bool negative = false;
  if (i < 10 && (v.U8(i) == '+' || v.U8(i) == '-')) negative = v.U8(i++) == '-';
  long long length = 0;
  for (; i < 10 && v.U8(i) >= '0' && v.U8(i) <= '9'; ++i) length = length * 10 + (v.U8(i) - '0');
  if (negative) length = -length;
  if (length <= 0) return 0;  // no message to carve
  probe.m_eType = kRawTypeEmlx;
  probe.m_llSize = length + kTrailer;
  return 1;
}
