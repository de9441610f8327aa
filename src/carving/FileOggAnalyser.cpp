#include "carving/FileOggAnalyser.h"

#include <cstring>

#include "carving/RawFileBuffer.h"

int CFileOggAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr || std::memcmp(sector, "OggS", 4) != 0) return 0;
  probe.m_eType = kRawTypeOgg;
  return 1;
}

bool CFileOggAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
  info.m_llSize = 0;
  if (device == nullptr) return false;
  RawFileBuffer reader(device, static_cast<unsigned long long>(info.m_llStartSector));
  long long p = 0;
  while (p <= kLimit) {
    unsigned char page[27 + 255];
    if (!reader.Read(static_cast<unsigned long long>(p), page, 27)) break;
    if (std::memcmp(page, "OggS", 4) != 0) break;
    const unsigned count = page[26];
    if (count == 0 || !reader.Read(static_cast<unsigned long long>(p) + 27, page + 27, count)) break;
    long long body = 0;
    for (unsigned i = 0; i < count; ++i) body += page[27 + i];
    p += 27 + count + body;
  }
  if (p == 0) return false;
  info.m_llSize = p;
  info.m_eType = kRawTypeOgg;
  return true;
}
