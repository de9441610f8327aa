#include "carving/Mp3TagText.h"

#include <cerrno>
#include <chardet/chardet.h>
#include <iconv.h>

#include <memory>
#include <vector>

namespace Mp3TagText {

namespace {

std::string CutAtNul(std::string text) { return text.substr(0, text.find('\0')); }

}  // namespace

std::string Detect(const std::string& text) {
  if (text.empty()) return {};
  DetectObj* obj = detect_obj_init();
  if (obj == nullptr) return {};
  std::string result;
  if (detect(text.c_str(), &obj) == CHARDET_SUCCESS && obj->confidence != 0.0F && obj->encoding != nullptr) {
    result = obj->encoding;
  }
  detect_obj_free(&obj);
  return result;
}

bool ToUtf8(const std::string& from, const std::string& text, std::string& out) {
  out.clear();
  if (from.empty()) return false;
  iconv_t cd = iconv_open("UTF-8", from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::vector<char> in(text.begin(), text.end());
  std::vector<char> buffer(text.size() * 4 + 16);
  char* src = in.data();
  std::size_t srcLeft = in.size();
  char* dst = buffer.data();
  std::size_t dstLeft = buffer.size();
  const std::size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
  iconv_close(cd);
  if (r == static_cast<std::size_t>(-1) || srcLeft != 0) return false;
  out.assign(buffer.data(), buffer.size() - dstLeft);
  return true;
}

std::string ReplaceHigh(std::string text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) c = '_';
  }
  return text;
}

bool IsUtf8(const std::string& text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t n = 0;
    if (c < 0x80) {
      n = 1;
    } else if ((c & 0xE0) == 0xC0) {
      n = 2;
    } else if ((c & 0xF0) == 0xE0) {
      n = 3;
    } else {
      return false;
    }
    if (i + n > text.size()) return false;
    for (std::size_t k = 1; k < n; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += n;
  }
  return true;
}

std::string GetTagValue(const unsigned char* content, std::size_t length, const std::string& charset, bool stream) {
  if (content == nullptr || length < 1) return {};
  const unsigned encoding = content[0];
  std::size_t n = length - 1;
  const unsigned char* p = content + 1;
  if (encoding == 3) {
    if (!stream) return CutAtNul(std::string(reinterpret_cast<const char*>(p), n < 1024 ? n : 1024));
    std::string text = CutAtNul(std::string(reinterpret_cast<const char*>(p), n < 255 ? n : 255));
    if (IsUtf8(text)) return text;
    bool plain = false;
    for (char c : text) plain = plain || static_cast<unsigned char>(c) < 0x80;
    return plain ? ReplaceHigh(text) : std::string();
  }
  if (encoding == 1) {
    if (stream && n > 255) n = 255;
    if (n < 2 || p[0] != 0xFF || p[1] != 0xFE) return {};
    std::size_t units = (n - 2) / 2;
    for (std::size_t k = 0; k < units; ++k) {
      if (p[2 + 2 * k] == 0 && p[3 + 2 * k] == 0) {
        units = k;
        break;
      }
    }
    std::string out;
    if (!ToUtf8("UTF-16LE", std::string(reinterpret_cast<const char*>(p + 2), units * 2), out)) return {};
    return out;
  }
  if (encoding == 0) {
    if (n > 255) n = 255;
    return Id3v1Field(p, n, charset);
  }
  return {};
}

std::string Id3v1Field(const unsigned char* field, std::size_t length, const std::string& charset) {
  if (field == nullptr) return {};
  std::string text = CutAtNul(std::string(reinterpret_cast<const char*>(field), length));
  bool high = false;
  for (char c : text) high = high || static_cast<unsigned char>(c) >= 0x80;
  if (!high) return text;
  const std::string from = !charset.empty() ? charset : Detect(text);
  std::string out;
  if (ToUtf8(from, text, out)) return out;
  return ReplaceHigh(text);
}

}  // namespace Mp3TagText
