#include "carving/StreamBytes.h"

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
