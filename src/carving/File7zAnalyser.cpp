#include "carving/File7zAnalyser.h"

#include <zlib.h>

#include <cstring>

#include "core/util/ByteView.h"

int File7zAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  static constexpr unsigned char kSignature[] = {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C};
  if (sector == nullptr || std::memcmp(sector, kSignature, sizeof(kSignature)) != 0) return 0;
  const ByteView v(sector, static_cast<std::size_t>(kStartHeader));
  if (v.U8(6) != 0) return 0;  // major version
  // The CRC of the next-header offset, size and CRC fields.
  if (crc32(0L, sector + 12, 20) != v.U32Le(8)) return 0;
  const unsigned long long offset = v.U64Le(12);
  const unsigned long long size = v.U64Le(20);
  if (offset >= kLimit || size >= kLimit) return 0;
  probe.m_eType = kRawType7z;
  probe.m_llSize = kStartHeader + static_cast<long long>(offset + size);
  return 1;
}
