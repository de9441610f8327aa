#include "carving/DocumentText.h"

#include <iconv.h>

#include <vector>

std::string ConvertToUtf8(const char* charset, const unsigned char* data, std::size_t n, std::size_t outCapacity) {
  if (data == nullptr || n == 0 || outCapacity == 0) return {};
  iconv_t cd = iconv_open("UTF-8", charset);
  if (cd == reinterpret_cast<iconv_t>(-1)) return {};
  std::vector<char> in(data, data + n);
  std::vector<char> out(outCapacity, 0);
  char* src = in.data();
  std::size_t srcLeft = n;
  char* dst = out.data();
  std::size_t dstLeft = outCapacity;
  // Stops at the first bad or cut sequence; what converted is kept.
  iconv(cd, &src, &srcLeft, &dst, &dstLeft);
  iconv_close(cd);
  std::string text(out.data(), outCapacity - dstLeft);
  const std::size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  return text;
}

bool LooksLikeUtf8(const unsigned char* data, std::size_t n) {
  std::size_t i = 0;
  while (i < n) {
    const unsigned char c = data[i];
    std::size_t follow = 0;
    if (c < 0x80) {
      follow = 0;
    } else if (c >= 0xC0 && c <= 0xDF) {
      follow = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      follow = 2;
    } else {
      return false;
    }
    ++i;
    for (std::size_t k = 0; k < follow && i < n; ++k, ++i) {
      if (data[i] < 0x80 || data[i] > 0xBF) return false;
    }
  }
  return true;
}
