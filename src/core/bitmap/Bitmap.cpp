#include "core/bitmap/Bitmap.h"

#include <cstdint>
#include <cstring>
#include <limits>

TBitmap::~TBitmap() { DestroyBitmap(); }

int TBitmap::CreateBitmap(long long bits, unsigned int unit) {
  if (bits <= 0 || unit == 0) return 0;
  // ceil(bits / 8) without overflowing bits + 7.
  const unsigned long long bytes = static_cast<unsigned long long>(bits) / 8 + (bits % 8 != 0 ? 1 : 0);
  if (bytes > std::numeric_limits<std::size_t>::max()) return 0;
  auto* data = static_cast<unsigned char*>(std::calloc(static_cast<std::size_t>(bytes), 1));
  if (data == nullptr) return 0;
  m_pData.reset(data);
  m_uByteSize = static_cast<std::size_t>(bytes);
  m_llMaxBitIndex = bits - 1;
  m_uUnit = unit;
  return 1;
}

int TBitmap::SetBit(long long index, int value, unsigned int count) {
  if (index < 0 || index > m_llMaxBitIndex || m_pData == nullptr) return 0;
  if (count == 0) return 1;
  // Last bit to touch, clipped to the max bit index (no overflow: both
  // operands of the comparison are non-negative).
  const long long room = m_llMaxBitIndex - index;
  const long long last =
      static_cast<long long>(count - 1) > room ? m_llMaxBitIndex : index + static_cast<long long>(count - 1);

  unsigned char* data = m_pData.get();
  long long bit = index;
  const auto touch = [&](long long b) {
    const unsigned char mask = static_cast<unsigned char>(1u << (b % 8));
    if (value != 0)
      data[b / 8] |= mask;
    else
      data[b / 8] &= static_cast<unsigned char>(~mask);
  };
  // Leading bits up to a byte boundary, whole bytes, trailing bits.
  while (bit <= last && bit % 8 != 0) touch(bit++);
  if (bit <= last) {
    const long long wholeBytes = (last - bit + 1) / 8;
    if (wholeBytes > 0) {
      std::memset(data + bit / 8, value != 0 ? 0xFF : 0x00, static_cast<std::size_t>(wholeBytes));
      bit += wholeBytes * 8;
    }
  }
  while (bit <= last) touch(bit++);
  return 1;
}

int TBitmap::GetBit(long long index) const {
  if (index < 0 || index > m_llMaxBitIndex || m_pData == nullptr) return 0;
  return m_pData[static_cast<std::size_t>(index / 8)] & (1u << (index % 8));
}

int TBitmap::DestroyBitmap() {
  m_pData.reset();
  m_uByteSize = 0;
  m_llMaxBitIndex = 0;
  return 1;
}
