#pragma once
// The sweep bytes a streaming candidate may read around the sector handed
// to CalcRawSize: the sector, what follows it up to the end of the block,
// and what precedes it in the searcher's buffer.

#include <cstddef>

#include "carving/RawFileInfo.h"
#include "core/util/ByteView.h"

class StreamBytes {
 public:
  StreamBytes(const unsigned char* sector, int sectorSize, const CRawFileInfo::SearchContext& context);

  // The view offset of [rel, rel + n) counted from the sector's first byte;
  // false when those bytes are not all readable.
  bool Locate(long long rel, std::size_t n, std::size_t& offset) const;
  const ByteView& View() const { return m_view; }
  // Readable bytes before / from the sector's first byte.
  long long Before() const { return static_cast<long long>(m_at); }
  long long After() const { return static_cast<long long>(m_view.Size() - m_at); }

 private:
  ByteView m_view;
  std::size_t m_at = 0;
};

// Bytes of a block in use: one past its last non-zero byte (0 when all zero).
int UsedBytes(const unsigned char* data, int length);

// Offset (from the sector's first byte) just past the first closing tag
// `tag` (lower case, "</..>", matched without regard to case) that ends in
// this sector, and past the CR/LF after it; -1 when there is none.
long long ClosingTagEnd(const unsigned char* sector, int sectorSize, const CRawFileInfo::SearchContext& context,
                        const char* tag);
