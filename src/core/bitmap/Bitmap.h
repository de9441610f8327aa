#pragma once
// Sector bitmap: one bit per sector (or per `unit` sectors),
// shared by the complete searchers to mark what is already explained. The
// complete controller owns it; the HFS+ searcher sizes and fills it, the
// carving searcher reads it. Bit b lives in byte b / 8 under the mask
// 1 << (b % 8).
//
// Not synchronised: the searchers of one sweep run on the scan thread, one
// after the other.

#include <cstddef>
#include <cstdlib>
#include <memory>

class TBitmap {
 public:
  TBitmap() = default;
  ~TBitmap();
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;

  // (bits, unit): 0 when bits <= 0, when unit is 0 or when the array cannot
  // be allocated; the previous array then stays as it was. Otherwise
  // replaces the array by ceil(bits / 8) zeroed bytes, max bit index =
  // bits - 1, unit as given, and answers 1.
  int CreateBitmap(long long bits, unsigned int unit);

  // (index, value, count): 0 when index < 0 or index > max bit index (so
  // always 0 before CreateBitmap); 1 when count is 0; else sets (value != 0)
  // or clears (value == 0) `count` bits from `index`, stopping at the max bit
  // index, and answers 1.
  int SetBit(long long index, int value, unsigned int count);

  // The bit's mask in its byte (1, 2, 4, ... 128) when set, not normalised
  // to 1; 0 when clear, when index < 0 or > max bit index, or without array.
  int GetBit(long long index) const;

  long long GetMaxBitIndex() const { return m_llMaxBitIndex; }
  // Bytes in the array (0 without array).
  std::size_t GetBitmapSize() const { return m_uByteSize; }
  // The array, null before CreateBitmap and after DestroyBitmap: users test
  // it for null to know whether the bitmap is in use.
  unsigned char* GetBitmapData() { return m_pData.get(); }
  const unsigned char* GetBitmapData() const { return m_pData.get(); }
  // Sectors per bit (1 by default): users divide a sector number by it.
  unsigned int GetUnit() const { return m_uUnit; }

  // Frees the array; byte size 0, max bit index 0; answers 1. The unit is
  // kept.
  int DestroyBitmap();

 private:
  struct FreeDeleter {
    void operator()(unsigned char* p) const { std::free(p); }
  };

  // calloc: zeroed, overflow-checked, and lazily backed by the kernel, so a
  // large map costs only the pages that are touched.
  std::unique_ptr<unsigned char[], FreeDeleter> m_pData;
  std::size_t m_uByteSize = 0;
  long long m_llMaxBitIndex = 0;
  unsigned int m_uUnit = 1;
};
