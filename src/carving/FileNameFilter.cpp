#include "carving/FileNameFilter.h"

#include <cctype>

std::string ApiStrFilterBadFileName(const std::string& text) {
  std::string out = text;
  while (!out.empty() && out.back() == ' ') out.pop_back();
  // The tree builder refuses files whose name begins with a dot.
  std::size_t dots = 0;
  while (dots < out.size() && out[dots] == '.') ++dots;
  out.erase(0, dots);
  static constexpr char kBad[] = {'\x01', '\\', '/', ':', '?', '"', '<', '>', '|', '*', '\r', '\n'};
  for (char& c : out) {
    for (char bad : kBad) {
      if (c == bad) c = '_';
    }
  }
  return out;
}

bool ApiIsInvalidCharInFileName(unsigned char c) {
  if (c >= 0x80) return true;
  if (std::isalnum(c) != 0) return false;
  return !(c == ' ' || c == ',' || c == '-' || c == '.' || c == '@' || c == '_');
}

bool HasInvalidCharInFileName(const std::string& text) {
  for (unsigned char c : text) {
    if (ApiIsInvalidCharInFileName(c)) return true;
  }
  return false;
}

std::string CutUtf8(const std::string& text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t cut = limit;
  // Step back over continuation bytes to the start of the cut sequence.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return text.substr(0, cut);
}
