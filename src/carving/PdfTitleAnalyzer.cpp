#include "carving/PdfTitleAnalyzer.h"

#include <cctype>
#include <cstring>

#include "carving/DocumentText.h"
#include "carving/FileNameFilter.h"

namespace BruteForce {

const unsigned char* PdfTitleAnalyzer::myStrstr(const unsigned char* data, int length, const char* needle,
                                                int& position) {
  position = -1;
  const int n = static_cast<int>(std::strlen(needle));
  if (data == nullptr || length < n || n == 0) return nullptr;
  const void* hit = memmem(data, static_cast<std::size_t>(length), needle, static_cast<std::size_t>(n));
  if (hit == nullptr) return nullptr;
  position = static_cast<int>(static_cast<const unsigned char*>(hit) - data);
  return static_cast<const unsigned char*>(hit);
}

bool PdfTitleAnalyzer::RemoveNolessVec(const unsigned char* data, int n) {
  if (data == nullptr || n <= 0) return false;
  const int samples[] = {0, n / 4 - 1, 2 * n / 4 - 1, 3 * n / 4 - 1};
  for (int at : samples) {
    if (at < 0 || at >= n) continue;
    const unsigned char c = data[at];
    if (std::isalnum(c) || c == 0x00 || c == 0xFE || c == 0xFF || std::strchr("\r ()-./:<>", c) != nullptr) {
      return true;
    }
  }
  return false;
}

std::string PdfTitleAnalyzer::ObtainPerInfo(const unsigned char* text, int length) {
  const int limit = length < 512 ? length : 512;
  int open = -1;
  int close = -1;
  for (int i = 1; i < limit; ++i) {  // the key's own '/' is not the stop
    if (text[i] == '/' && open < 0) break;
    if (text[i] == '(' && open < 0) open = i;
    if (text[i] == ')' && open >= 0) {
      close = i;
      break;
    }
  }
  if (open < 0 || close < 0 || close <= open) return {};
  const unsigned char* v = text + open + 1;
  int n = close - open - 1;
  if (n >= 2 && v[0] == 0xFE && v[1] == 0xFF) {
    // UTF-16 big-endian: converted pairwise.
    std::string swapped;
    for (int i = 2; i + 1 < n && i < 512; i += 2) {
      swapped.push_back(static_cast<char>(v[i + 1]));
      swapped.push_back(static_cast<char>(v[i]));
    }
    return ConvertToUtf8("UTF-16LE", reinterpret_cast<const unsigned char*>(swapped.data()), swapped.size(),
                         3 * swapped.size() + 3);
  }
  std::string value(reinterpret_cast<const char*>(v), static_cast<std::size_t>(n));
  const std::size_t nul = value.find('\0');
  if (nul != std::string::npos) value.resize(nul);
  return value;
}

std::string PdfTitleAnalyzer::TimeChange(const std::string& t) {
  if (t.size() < 17) return {};
  for (std::size_t i = 2; i <= 15; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(t[i]))) return {};
  }
  return t.substr(2, 4) + "-" + t.substr(6, 2) + "-" + t.substr(8, 2) + " " + t.substr(10, 2) + "-" + t.substr(12, 2) +
         "-" + t.substr(14, 2);
}

bool PdfTitleAnalyzer::JudeLegalInfo(const std::string& text) {
  if (text.size() < 2) return false;
  for (unsigned char c : text) {
    if (!std::isalnum(c) && std::strchr("_ (-.", c) == nullptr) return false;
  }
  return true;
}

std::string PdfTitleAnalyzer::RemoveIllegalTitle(const std::string& text) {
  for (unsigned char c : text) {
    if (std::isdigit(c)) return {};
  }
  return text;
}

bool PdfTitleAnalyzer::SeparateInformation(const unsigned char* text, int length, FileProperty& property) {
  const char* keys[] = {"Author", "Creator", "CreationDate", "ModDate", "Producer", "Title"};
  int at[6];
  for (int i = 0; i < 6; ++i) myStrstr(text, length, keys[i], at[i]);
  const bool author = at[0] >= 0, creator = at[1] >= 0, created = at[2] >= 0, modified = at[3] >= 0;
  if (!((author && creator) || (created && (author || creator || modified)))) return false;
  const int slots[] = {kPdfAuthor, kPdfCreator, kPdfCreated, kPdfModified, kPdfProducer, kPdfTitle};
  for (int i = 0; i < 6; ++i) {
    if (at[i] < 0) continue;
    std::string value = ObtainPerInfo(text + at[i], length - at[i]);
    if (value.size() > 25) value = CutUtf8(value, 25);
    if (i == 2 || i == 3) {
      property[slots[i]] = TimeChange(value);
      continue;
    }
    while (!value.empty() && value.back() == ' ') value.pop_back();
    value = ApiStrFilterBadFileName(value);
    if (!JudeLegalInfo(value)) continue;
    property[slots[i]] = i == 5 ? RemoveIllegalTitle(value) : value;
  }
  return !property[kPdfCreator].empty() || !property[kPdfCreated].empty() || !property[kPdfAuthor].empty() ||
         !property[kPdfModified].empty();
}

bool PdfTitleAnalyzer::ObtainPerSecPDFInformation(const unsigned char* data, int length, int sectorSize,
                                                  bool nextPresent, FileProperty& property) {
  if (data == nullptr || sectorSize <= 0 || length < sectorSize) return false;
  if (!RemoveNolessVec(data, sectorSize)) return false;
  int objAt = -1;
  if (myStrstr(data, sectorSize, "obj", objAt) == nullptr) return false;
  m_iAvailable = sectorSize - objAt + (nextPresent && length >= 2 * sectorSize ? sectorSize : 0);
  return SeparateInformation(data + objAt, m_iAvailable, property);
}

}  // namespace BruteForce
