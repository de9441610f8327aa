#include "carving/RarBlock.h"

#include "core/util/ByteView.h"

const unsigned char kRarEndBlock[7] = {0xC4, 0x3D, 0x7B, 0x00, 0x40, 0x07, 0x00};

bool classRarSearch::GetBlockSize(const unsigned char* block, std::size_t available, unsigned int& low,
                                  unsigned int& high) {
  if (block == nullptr || available <= 6) return false;
  const ByteView v(block, available);
  const unsigned type = v.U8(2);
  if (type < 0x73 || type > 0x7B) return false;
  const unsigned long long h = v.U16Le(5);
  if (h < 7) return false;
  unsigned long long size = 0;
  switch (type) {
    case 0x73:
      if (h < 10) return false;
      size = h;
      break;
    case 0x76:
      size = h;
      break;
    case 0x74:
      if (!v.Has(7, 9) || v.U32Le(11) < v.U32Le(7) || v.U8(15) >= 5) return false;
      size = h + v.U32Le(7);
      break;
    case 0x77:
      if (!v.Has(7, 7) || v.U8(13) != 0) return false;
      size = h + v.U32Le(7);
      break;
    case 0x75:
      if (!v.Has(7, 2)) return false;
      size = h + v.U16Le(7);
      break;
    case 0x78:
    case 0x7A:
    case 0x7B:
      if (h < 10 || !v.Has(7, 4)) return false;
      size = h + v.U32Le(7);
      break;
    default:
      return false;  // 0x79
  }
  low = static_cast<unsigned>(size & 0xFFFFFFFFu);
  high = static_cast<unsigned>(size >> 32);
  return true;
}

long long classRarSearch::BlockSize(const unsigned char* block, std::size_t available) {
  unsigned low = 0;
  unsigned high = 0;
  if (!GetBlockSize(block, available, low, high)) return -1;
  return static_cast<long long>((static_cast<unsigned long long>(high) << 32) | low);
}
