#include "carving/SummaryInformation.h"

#include <cstdio>
#include <cstring>
#include <ctime>

#include "carving/DocumentText.h"
#include "core/util/ByteView.h"

namespace {

// F29F85E0-4FF9-1068-AB91-08002B27B3D9 as stored.
constexpr unsigned char ucDocumentInformationID[16] = {0xE0, 0x85, 0x9F, 0xF2, 0xF9, 0x4F, 0x68, 0x10,
                                                       0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9};
constexpr int kMaxPairs = 31;
constexpr unsigned kMaxText = 1024;

// A text in the property set's code page. Without one (or with one iconv
// does not know), UTF-8 stays as it is and anything else is read as GBK.
std::string EightBitText(const unsigned char* p, std::size_t len, int codePage) {
  const std::size_t capacity = 4 * len;
  if (codePage == 65001 || (codePage <= 0 && LooksLikeUtf8(p, len))) {
    return std::string(reinterpret_cast<const char*>(p), len);
  }
  if (codePage > 0 && codePage != 1200 && codePage != 65001) {
    char charset[16];
    std::snprintf(charset, sizeof(charset), codePage == 936 ? "GBK" : "CP%d", codePage);
    std::string text = ConvertToUtf8(charset, p, len, capacity);
    if (!text.empty() || len == 0) return text;
  }
  if (LooksLikeUtf8(p, len)) return std::string(reinterpret_cast<const char*>(p), len);
  return ConvertToUtf8("GBK", p, len, capacity);
}

// The code page (property 1, a 16-bit integer) of the section at `s`.
int SectionCodePage(const ByteView& v, std::size_t s, int count) {
  for (int i = 0; i < count; ++i) {
    const std::size_t pair = s + 8 + 8 * static_cast<std::size_t>(i);
    if (!v.Has(pair, 8)) return 0;
    if (v.U32Le(pair) != 1) continue;
    const std::size_t at = s + v.U32Le(pair + 4);
    if (at < s || !v.Has(at, 6) || v.U32Le(at) != 2) return 0;
    return static_cast<int>(v.U16Le(at + 4));
  }
  return 0;
}

}  // namespace

bool CSummaryInFormation::IsDocumentInformation(const unsigned char* buffer, unsigned char* header) {
  if (buffer == nullptr || m_iLength < 48) return false;
  std::memcpy(header, buffer, 48);
  const ByteView h(header, 48);
  return h.U16Le(0) == 0xFFFE && h.U16Le(2) < 2 && (h.U32Le(24) == 1 || h.U32Le(24) == 2) &&
         h.Equals(28, ucDocumentInformationID, 16);
}

std::string CSummaryInFormation::FilterFileTime(const std::string& text) {
  std::string out = text;
  for (std::size_t i = 1; i < out.size(); ++i) {
    if (out[i] == ':') out[i] = '-';
  }
  return out;
}

void CSummaryInFormation::OperateString(std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) {
    text.clear();
    return;
  }
  text.erase(0, first);
  if (text.size() > 24) text.resize(24);
}

std::string CSummaryInFormation::FileTimeText(unsigned long long filetime) {
  if (filetime == 0) return {};
  constexpr unsigned long long kUnixEpoch = 116444736000000000ULL;
  if (filetime < kUnixEpoch) return {};
  const auto seconds = static_cast<std::time_t>((filetime - kUnixEpoch) / 10000000ULL);
  std::tm tm{};
  if (localtime_r(&seconds, &tm) == nullptr) return {};
  char text[64];
  std::snprintf(text, sizeof(text), "%d-%02d-%02d-%02d-%02d-%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                tm.tm_hour, tm.tm_min, tm.tm_sec);
  return text;
}

void CSummaryInFormation::GetDetailInformation(const unsigned char* buffer, int offset, int& value, std::string& text) {
  text.clear();
  if (buffer == nullptr || offset < 0 || m_iLength < 8 || offset > m_iLength - 8) return;
  const ByteView v(buffer, static_cast<std::size_t>(m_iLength));
  const auto at = static_cast<std::size_t>(offset);
  switch (v.U32Le(at)) {
    case 2:
      value = static_cast<int>(v.U32Le(at + 4));
      break;
    case 30: {
      const unsigned n = v.U32Le(at + 4);
      if (n > kMaxText || !v.Has(at + 8, n)) return;
      const unsigned char* p = buffer + at + 8;
      std::size_t len = n;
      for (std::size_t i = 0; i < n; ++i) {
        if (p[i] == 0) {
          len = i;
          break;
        }
      }
      text = EightBitText(p, len, m_iCodePage);
      OperateString(text);
      break;
    }
    case 31: {
      const unsigned n = v.U32Le(at + 4);
      if (n > kMaxText / 2 || !v.Has(at + 8, 2 * static_cast<std::size_t>(n))) return;
      text =
          ConvertToUtf8("UTF-16LE", buffer + at + 8, 2 * static_cast<std::size_t>(n), 3 * static_cast<std::size_t>(n));
      break;
    }
    case 64:
      text = FileTimeText(v.U64Le(at + 4));
      break;
    default:
      break;
  }
}

bool CSummaryInFormation::GetFileInformation(const unsigned char* buffer, FileProperty& property, int length) {
  m_iLength = length;
  unsigned char header[48];
  if (!IsDocumentInformation(buffer, header)) return false;
  const ByteView v(buffer, static_cast<std::size_t>(length));
  const long long s = static_cast<int>(ByteView(header, 48).U32Le(44));
  if (s < 0 || s + 8 > length) return false;
  m_iSectionSize = static_cast<int>(v.U32Le(static_cast<std::size_t>(s)));
  m_iPropertyCount = static_cast<int>(v.U32Le(static_cast<std::size_t>(s) + 4));
  if (m_iPropertyCount < 1 || m_iPropertyCount > kMaxPairs) return false;
  m_iCodePage = SectionCodePage(v, static_cast<std::size_t>(s), m_iPropertyCount);
  FileProperty found;
  for (int i = 0; i < m_iPropertyCount; ++i) {
    const long long pair = s + 8 + 8LL * i;
    if (pair + 8 > length) return false;
    const unsigned id = v.U32Le(static_cast<std::size_t>(pair));
    const long long valueAt = s + static_cast<long long>(v.U32Le(static_cast<std::size_t>(pair) + 4));
    int slot = -1;
    switch (id) {
      case 2:
        slot = kSummaryTitle;
        break;
      case 4:
        slot = kSummaryAuthor;
        break;
      case 8:
        slot = kSummaryLastAuthor;
        break;
      case 12:
        slot = kSummaryCreated;
        break;
      case 13:
        slot = kSummarySaved;
        break;
      default:
        break;
    }
    if (slot < 0 || valueAt > length) continue;
    int number = 0;
    std::string text;
    GetDetailInformation(buffer, static_cast<int>(valueAt), number, text);
    if (slot == kSummaryCreated || slot == kSummarySaved) text = FilterFileTime(text);
    found[slot] = text;
  }
  const int slots[] = {kSummaryTitle, kSummaryAuthor, kSummaryLastAuthor, kSummaryCreated, kSummarySaved};
  bool any = false;
  for (int slot : slots) any = any || !found[slot].empty();
  if (!any) return false;
  for (int slot : slots) property[slot] = found[slot];
  return true;
}
