#include "carving/FilePSDAnalyser.h"

#include <cstring>

#include "carving/RawFileBuffer.h"
#include "core/util/ByteView.h"

bool FilePSDAnalyser::IsPsdHeader(const unsigned char* sector) {
  static constexpr unsigned char kVersionAndReserved[] = {0, 1, 0, 0, 0, 0, 0, 0};
  return sector != nullptr && std::memcmp(sector, "8BPS", 4) == 0 &&
         std::memcmp(sector + 4, kVersionAndReserved, sizeof(kVersionAndReserved)) == 0;
}

int FilePSDAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (!IsPsdHeader(sector)) return 0;
  probe.m_eType = kRawTypePsd;
  return 1;
}

bool FilePSDAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
  info.m_llSize = 0;
  if (device == nullptr) return false;
  RawFileBuffer reader(device, static_cast<unsigned long long>(info.m_llStartSector));
  unsigned char head[30];
  if (!reader.Read(0, head, sizeof(head)) || !IsPsdHeader(head)) return false;
  const ByteView h(head, sizeof(head));
  auto u32At = [&](long long off, unsigned& out) {
    unsigned char b[4];
    if (off < 0 || off > kLimit || !reader.Read(static_cast<unsigned long long>(off), b, 4)) return false;
    out = ByteView(b, 4).U32Be(0);
    return true;
  };
  long long e = 30 + static_cast<long long>(h.U32Be(26));
  unsigned length = 0;
  if (!u32At(e, length)) return false;
  e += static_cast<long long>(length) + 4;
  if (!u32At(e, length)) return false;
  e += static_cast<long long>(length) + 4;
  unsigned char word[2];
  if (e > kLimit || !reader.Read(static_cast<unsigned long long>(e), word, 2)) return false;
  e += 2;
  const unsigned compression = ByteView(word, 2).U16Be(0);
  const unsigned long long rows = static_cast<unsigned long long>(h.U32Be(14)) * h.U16Be(12);
  if (compression == 1) {
    long long sum = 0;
    for (unsigned long long r = 0; r < rows && e <= kLimit; ++r) {
      if (!reader.Read(static_cast<unsigned long long>(e), word, 2)) return false;
      sum += ByteView(word, 2).U16Be(0);
      e += 2;
    }
    info.m_llSize = e + sum;
  } else if (compression == 0) {
    const unsigned long long bits = rows * h.U32Be(18) * h.U16Be(22);
    if (bits / 8 > static_cast<unsigned long long>(kLimit)) return false;
    info.m_llSize = e + static_cast<long long>(bits / 8);
  } else {
    return false;
  }
  info.m_eType = kRawTypePsd;
  return true;
}
