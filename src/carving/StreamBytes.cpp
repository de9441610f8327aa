#include "carving/StreamBytes.h"

#include <cctype>
#include <cstring>

StreamBytes::StreamBytes(const unsigned char* sector, int sectorSize, const CRawFileInfo::SearchContext& context) {
  const std::size_t ss = sectorSize > 0 ? static_cast<std::size_t>(sectorSize) : 0;
  if (context.bufferBegin != nullptr && context.bufferEnd != nullptr && sector != nullptr &&
      context.bufferBegin <= sector && sector < context.bufferEnd &&
      static_cast<std::size_t>(context.bufferEnd - sector) >= ss) {
    m_view = ByteView(context.bufferBegin, static_cast<std::size_t>(context.bufferEnd - context.bufferBegin));
    m_at = static_cast<std::size_t>(sector - context.bufferBegin);
  } else if (sector != nullptr) {
    m_view = ByteView(sector, ss);
    m_at = 0;
  }
}

bool StreamBytes::Locate(long long rel, std::size_t n, std::size_t& offset) const {
  if (rel < -Before() || rel > After()) return false;
  const auto at = static_cast<std::size_t>(static_cast<long long>(m_at) + rel);
  if (!m_view.Has(at, n)) return false;
  offset = at;
  return true;
}

int UsedBytes(const unsigned char* data, int length) {
  if (data == nullptr) return 0;
  for (int i = length; i > 0; --i) {
    if (data[i - 1] != 0) return i;
  }
  return 0;
}

long long ClosingTagEnd(const unsigned char* sector, int sectorSize, const CRawFileInfo::SearchContext& context,
                        const char* tag) {
  const auto kLength = static_cast<long long>(std::strlen(tag));
  if (kLength < 3 || kLength > sectorSize) return -1;
  const StreamBytes bytes(sector, sectorSize, context);
  const ByteView& v = bytes.View();
  const long long first = bytes.Before() >= kLength - 1 ? -(kLength - 1) : 0;
  std::size_t at = 0;
  if (!bytes.Locate(first, static_cast<std::size_t>(sectorSize - first), at)) return -1;
  for (long long k = first; k + kLength <= sectorSize; ++k) {
    const std::size_t p = at + static_cast<std::size_t>(k - first);
    if (v.U8(p) != '<' || v.U8(p + 1) != '/') continue;
    bool match = true;
    for (long long j = 2; j < kLength && match; ++j) {
      match = std::tolower(v.U8(p + static_cast<std::size_t>(j))) == tag[j];
    }
    if (!match) continue;
    long long end = k + kLength;
    std::size_t e = 0;
    if (bytes.Locate(end, 1, e) && v.U8(e) == '\r') ++end;
    if (bytes.Locate(end, 1, e) && v.U8(e) == '\n') ++end;
    return end;
  }
  return -1;
}
