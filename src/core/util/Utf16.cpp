#include "core/util/Utf16.h"

namespace text {
namespace {

bool IsHigh(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLow(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

std::size_t Utf8Length(char32_t cp) { return cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4; }

}  // namespace

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::string Utf16ToUtf8(std::u16string_view units, std::size_t maxBytes) {
  std::string out;
  out.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    char32_t cp = units[i];
    std::size_t used = 1;
    if (IsHigh(cp) && i + 1 < units.size() && IsLow(units[i + 1])) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      used = 2;
    } else if (IsHigh(cp) || IsLow(cp)) {
      cp = 0xFFFD;
    }
    if (maxBytes != std::string::npos && out.size() + Utf8Length(cp) > maxBytes) break;
    AppendUtf8(out, cp);
    i += used - 1;
  }
  return out;
}

std::u16string Utf8ToUtf16(std::string_view textIn) {
  std::u16string out;
  for (std::size_t i = 0; i < textIn.size();) {
    const auto c = static_cast<unsigned char>(textIn[i]);
    std::size_t n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
    char32_t cp = 0xFFFD;
    if (n == 1) {
      cp = c;
    } else if (n != 0 && i + n <= textIn.size()) {
      cp = c & (0x7F >> n);
      for (std::size_t k = 1; k < n; ++k) {
        const auto cont = static_cast<unsigned char>(textIn[i + k]);
        if ((cont & 0xC0) != 0x80) {
          cp = 0xFFFD;
          n = k;
          break;
        }
        cp = (cp << 6) | (cont & 0x3F);
      }
      static constexpr char32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
      if (cp != 0xFFFD && (cp < kMin[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) cp = 0xFFFD;
    } else {
      n = 1;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += n;
  }
  return out;
}

}  // namespace text
