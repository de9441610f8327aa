#include "carving/FileFLVAnalyser.h"

#include <cstring>

#include "carving/RawFileBuffer.h"
#include "core/util/ByteView.h"

bool FlvTagWalk::Step(const unsigned char* tag, long long& p) {
  const ByteView t(tag, 8);
  const long long v = static_cast<int>(t.U32Be(0));
  const unsigned kind = t.U8(4);
  if (v == previousData || (kind != 8 && kind != 9 && kind != 18)) {
    p += 4;
    return false;
  }
  const long long d = (static_cast<long long>(t.U8(5)) << 16) | (t.U8(6) << 8) | t.U8(7);
  previousData = d;
  if (v == expected) {
    expected = d + 11;
  } else if (expected != 0) {
    p += d + 15;
    return false;
  }
  p += d + 15;
  return true;
}

int FileFLVAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr || std::memcmp(sector, "FLV", 3) != 0) return 0;
  probe.m_eType = kRawTypeFlv;
  return 1;
}

bool FileFLVAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
  info.m_llSize = 0;
  if (device == nullptr) return false;
  RawFileBuffer reader(device, static_cast<unsigned long long>(info.m_llStartSector));
  unsigned char head[13];
  if (!reader.Read(0, head, sizeof(head)) || std::memcmp(head, "FLV", 3) != 0 || head[3] != 1) return false;
  if (ByteView(head, sizeof(head)).U32Be(9) != 0) return false;
  long long p = 9;
  FlvTagWalk walk;
  while (p <= kLimit) {
    unsigned char tag[8];
    if (!reader.Read(static_cast<unsigned long long>(p), tag, sizeof(tag))) break;
    if (!walk.Step(tag, p)) break;
  }
  info.m_llSize = p < kLimit ? p : kLimit;
  info.m_bEndGuessed = p >= kLimit;
  info.m_eType = kRawTypeFlv;
  return true;
}
