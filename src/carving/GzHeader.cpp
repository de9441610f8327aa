#include "carving/GzHeader.h"

bool CGzSearch::IsValidGzHeader(const unsigned char* h) {
  return h != nullptr && h[0] == 0x1F && h[1] == 0x8B && h[2] == 0x08 && h[3] <= 0x1F && h[9] < 14;
}
