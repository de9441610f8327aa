#include "carving/FileRARAnalyser.h"

#include <cstring>

#include "carving/RarBlock.h"
#include "carving/RawFileBuffer.h"

bool FileRARAnalyser::IsRarHeader(const unsigned char* sector) {
  static constexpr unsigned char kMark[] = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x00};
  return sector != nullptr && std::memcmp(sector, kMark, sizeof(kMark)) == 0;
}

int FileRARAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (!IsRarHeader(sector)) return 0;
  probe.m_eType = kRawTypeRar;
  return 1;
}

bool FileRARAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
  info.m_llSize = 0;
  if (device == nullptr) return false;
  RawFileBuffer reader(device, static_cast<unsigned long long>(info.m_llStartSector));
  unsigned char head[512];
  if (!reader.Read(0, head, sizeof(head))) return false;
  long long size = classRarSearch::BlockSize(head + 7, 505);
  if (size < 0) return false;
  long long p = 7 + size;
  for (;;) {
    unsigned char block[32];
    if (!reader.Read(static_cast<unsigned long long>(p), block, sizeof(block))) return false;
    size = classRarSearch::BlockSize(block, sizeof(block));
    if (size < 0) {
      if (std::memcmp(block, kRarEndBlock, sizeof(kRarEndBlock)) == 0) p += 7;
      break;
    }
    p += size;
    if (p > kLimit) break;
  }
  info.m_llSize = p;
  info.m_eType = kRawTypeRar;
  return true;
}
