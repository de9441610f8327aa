#pragma once
// Byte helpers shared by the analysers.

#include <string>

namespace BruteForce {

class RawUtility {
 public:
  static int EXIF_Get16s(const unsigned char* p, bool littleEndian);
  static int EXIF_Get32s(const unsigned char* p, bool littleEndian);
  // Looks backwards from length - tail for the last match of `magic` whose
  // first byte is not 0; the offset just past it, or 0.
  static int FindMagicInBuffer(const unsigned char* data, int length, int tail, const unsigned char* magic,
                               int magicLength);
  // 0 when all bytes are 0; else a bisection over the zero tail: one more
  // than the last probe (the bytes in use, give or take one).
  static int Binary_Compare(const unsigned char* data, int length);
  // A lower-case extension for some types; "" for the others.
  static std::string GetFileExtWithType(int type);
};

}  // namespace BruteForce

// Reverses the four bytes of a u32 in place.
void SwabLong(unsigned int* value);
