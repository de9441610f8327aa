#include "carving/FileRTFAnalyser.h"

#include <cstring>

#include "carving/RawFileBuffer.h"

bool FileRTFAnalyser::IsRtfHeader(const unsigned char* sector) {
  return sector != nullptr && std::memcmp(sector, "{\\rtf", 5) == 0;
}

int FileRTFAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (!IsRtfHeader(sector)) return 0;
  probe.m_eType = kRawTypeRtf;
  return 1;
}

bool FileRTFAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
  info.m_llSize = 0;
  if (device == nullptr) return false;
  RawFileBuffer reader(device, static_cast<unsigned long long>(info.m_llStartSector));
  unsigned char head[6];
  if (!reader.Read(0, head, sizeof(head)) || !IsRtfHeader(head)) return false;
  long long depth = 1;
  unsigned long long p = 6;
  while (p <= static_cast<unsigned long long>(kLimit)) {
    const unsigned char* at = reader.GetRawFileBuffer(p);
    const std::size_t n = at != nullptr ? reader.Available(p) : 0;
    if (n == 0) return false;
    bool reload = false;
    for (std::size_t i = 0; i < n && !reload && p <= static_cast<unsigned long long>(kLimit); ++i, ++p) {
      const unsigned char c = at[i];
      if (c == '{') {
        ++depth;
      } else if (c == '}') {
        if (--depth == 0) {
          unsigned char next = 0;
          if (!reader.Read(p + 1, &next, 1) || next != '{') {
            info.m_llSize = static_cast<long long>(p + 1);
            info.m_eType = kRawTypeRtf;
            return true;
          }
          reload = true;  // the look-ahead may have moved the window
        }
      } else if (c == 0) {
        return false;
      }
    }
  }
  info.m_llSize = static_cast<long long>(p);
  info.m_bEndGuessed = true;
  info.m_eType = kRawTypeRtf;
  return true;
}
