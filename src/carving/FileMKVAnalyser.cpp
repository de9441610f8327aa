#include "carving/FileMKVAnalyser.h"

#include "core/util/ByteView.h"

namespace {
// An EBML variable-length integer at `at`: its length (0 = invalid) and value.
int Vint(const ByteView& v, std::size_t at, unsigned long long& value, bool& unknown) {
  const unsigned first = v.U8(at);
  int length = 1;
  while (length <= 8 && (first & (0x80u >> (length - 1))) == 0) ++length;
  if (length > 8 || !v.Has(at, static_cast<std::size_t>(length))) return 0;
  value = first & ((0x80u >> (length - 1)) - 1);
  bool ones = value == ((0x80u >> (length - 1)) - 1);
  for (int k = 1; k < length; ++k) {
    value = value << 8 | v.U8(at + static_cast<std::size_t>(k));
    ones = ones && v.U8(at + static_cast<std::size_t>(k)) == 0xFF;
  }
  unknown = ones;
  return length;
}
}  // namespace

int FileMKVAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr) return 0;
  const ByteView v(sector, 512);
  unsigned long long value = 0;
  bool unknown = false;
  const int length = Vint(v, 4, value, unknown);
  if (length == 0 || unknown || value > 512) return 0;
  const std::size_t c = 4 + static_cast<std::size_t>(length) + static_cast<std::size_t>(value);
  static constexpr unsigned char kSegment[] = {0x18, 0x53, 0x80, 0x67};
  if (c > 512 - 12 || !v.Equals(c, kSegment, 4)) return 0;
  // The Segment's size: a stream of unknown size cannot be carved.
  const int sizeLength = Vint(v, c + 4, value, unknown);
  if (sizeLength == 0 || unknown || value == 0 || value > 0x7FFFFFFFFFFFull) return 0;
  probe.m_eType = kRawTypeMkv;
  probe.m_llSize = static_cast<long long>(c + 4 + static_cast<std::size_t>(sizeLength) + value);
  return 1;
}
