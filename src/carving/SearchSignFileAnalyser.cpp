#include "carving/SearchSignFileAnalyser.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "carving/RawFileBuffer.h"
#include "core/util/Assert.h"

namespace {

constexpr unsigned long long kDefaultLimit = 0xD000000;

// Offset of the first match in [0, n), or -1.
long Find(const unsigned char* data, std::size_t n, const unsigned char* code, std::size_t len) {
  if (len == 0 || n < len) return -1;
  for (std::size_t i = 0; i + len <= n; ++i) {
    if (std::memcmp(data + i, code, len) == 0) return static_cast<long>(i);
  }
  return -1;
}

bool AllZero(const unsigned char* p, std::size_t n) {
  return std::all_of(p, p + n, [](unsigned char c) { return c == 0; });
}

}  // namespace

int SearchSignFileAnalyser::SearchEndSignCode(CRawFileInfo& info, IStorageDevice* device, SearchSignCodeInfo* code,
                                              int caseSensitive) {
  QV_ASSERT(device != nullptr);
  info.m_llSize = 0;
  if (code == nullptr || code->length == 0 || code->length > sizeof(code->code)) return 1;
  const unsigned long long limit = code->limit == 0 ? kDefaultLimit : code->limit;
  RawFileBuffer reader(device, static_cast<unsigned long long>(info.m_llStartSector));
  const std::size_t ss = reader.SectorSize();
  const std::size_t len = code->length;
  std::vector<unsigned char> sector(ss);
  std::vector<unsigned char> straddle(2 * len);
  unsigned char lower[64];
  unsigned char upper[64];
  for (std::size_t i = 0; i < len; ++i) {
    lower[i] = static_cast<unsigned char>(std::tolower(code->code[i]));
    upper[i] = static_cast<unsigned char>(std::toupper(code->code[i]));
  }
  unsigned long long offset = 0;
  for (;;) {
    if (offset > limit || !reader.Read(offset, sector.data(), ss)) break;
    const bool tailZero = sector[ss - 1] == 0 && sector[ss - 2] == 0;
    if (!tailZero) {
      offset += ss;
      continue;
    }
    long hit = -1;
    if (caseSensitive != 0) {
      hit = Find(sector.data(), ss, code->code, len);
    } else {
      hit = Find(sector.data(), ss, lower, len);
      if (hit < 0) hit = Find(sector.data(), ss, upper, len);
    }
    if (hit >= 0) {
      info.m_llSize = static_cast<long long>(offset + static_cast<unsigned long long>(hit) + len);
      return 1;
    }
    // A code that straddles the start of this sector.
    const unsigned long long from = offset >= len ? offset - len : 0;
    const std::size_t span = static_cast<std::size_t>(std::min<unsigned long long>(2 * len, offset + len - from));
    if (reader.Read(from, straddle.data(), span) &&
        Find(straddle.data(), span, caseSensitive != 0 ? code->code : upper, len) >= 0) {
      info.m_llSize = static_cast<long long>(offset + len);
      return 1;
    }
    if (caseSensitive != 0 && AllZero(sector.data() + ss - 8, 8)) break;
    offset += ss;
  }
  info.m_llSize = static_cast<long long>(offset);
  info.m_bEndGuessed = true;
  return 1;
}
