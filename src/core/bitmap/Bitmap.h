#pragma once
// One bit per sector (or per `unit` sectors), shared by the complete
// searchers to mark what is already explained.

#include <cstddef>
#include <cstdint>
#include <memory>

class TBitmap {
 public:
  TBitmap() = default;
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;

  // Allocates ceil(bits/8) zeroed bytes; false when bits <= 0 or the
  // allocation fails.
  bool CreateBitmap(long long bits, std::uint32_t unit);
  void DestroyBitmap();
  // Sets or clears `count` bits from `index`, clipped to the last bit.
  void SetBit(long long index, bool value, long long count = 1);
  // The raw mask of the bit (1..128), 0 when clear or out of range.
  std::uint8_t GetBit(long long index) const;

  const std::uint8_t* GetData() const { return m_data.get(); }
  std::size_t GetByteSize() const { return m_byteSize; }
  long long GetMaxBitIndex() const { return m_maxBitIndex; }
  std::uint32_t GetUnit() const { return m_unit; }
  void SetUnit(std::uint32_t unit) { m_unit = unit == 0 ? 1 : unit; }

 private:
  std::unique_ptr<std::uint8_t[]> m_data;
  std::size_t m_byteSize = 0;
  long long m_maxBitIndex = 0;
  std::uint32_t m_unit = 1;
};
