#include "carving/MobiAnalyser.h"

#include "carving/RawFileBuffer.h"

namespace RawSpeed {

namespace {
constexpr unsigned char kEnd[] = {0xE9, 0x8E, 0x0D, 0x0A};
long long ListEntry(const ByteView& v, std::size_t at) { return static_cast<long long>(v.U32Be(at + 74)) * 8 + 70; }
}  // namespace

bool FileMOBIAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
  info.m_llSize = 0;
  if (device == nullptr) return false;
  RawFileBuffer reader(device, static_cast<unsigned long long>(info.m_llStartSector));
  unsigned char head[78];
  if (!reader.Read(0, head, sizeof(head))) return false;
  const long long entry = ListEntry(ByteView(head, sizeof(head)), 0);
  unsigned char offset[4];
  if (!reader.Read(static_cast<unsigned long long>(entry), offset, 4)) return false;
  info.m_llSize = static_cast<long long>(ByteView(offset, 4).U32Be(0)) + 4;
  info.m_eType = kRawTypeMobi;
  return true;
}

int MOBIAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr || !streammember::EqualsNoCase(sector + 60, "BOOKMOBI", 8)) return 0;
  probe.m_eType = kRawTypeMobi;
  return 1;
}

int MOBIAnalyser::MOBIRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                                               SearchContext& context) {
  long long pos = 0;
  if (!streammember::SectorOffset(*this, sector, sectorSize, sectorNumber, pos)) return kSizeNeedMore;
  const StreamBytes bytes(sector, sectorSize, context);
  const ByteView& v = bytes.View();
  std::size_t at = 0;
  if (m_llWalk < 0) {
    if (!bytes.Locate(-pos, 78, at)) return kSizeDone;
    m_llWalk = ListEntry(v, at);
  }
  bool end = false;
  while (!m_bZeroTail && !end && m_llWalk < pos + sectorSize) {
    if (!bytes.Locate(m_llWalk - pos, 4, at)) break;  // the bytes arrive later
    if (v.Equals(at, kEnd, 4)) {
      end = true;
    } else if (m_iExamined++ == 0) {
      const long long next = v.U32Be(at);
      if (next <= m_llWalk) {
        m_bZeroTail = true;  // the list must lead forwards
      } else {
        m_llWalk = next;
      }
    } else {
      m_bZeroTail = true;
    }
  }
  if (pos > kCap) {
    m_llSize = 0;
    return kSizeDone;
  }
  if (end) {
    m_llSize = m_llWalk + 4;
  } else if (m_bZeroTail && context.zeroTailBytes > 8) {
    m_llSize = pos + BruteForce::RawUtility::Binary_Compare(sector, sectorSize);
    m_bEndGuessed = true;
  } else {
    return kSizeNeedMore;
  }
  streammember::NameRange(*this, streammember::kFormA, sectorNumber);
  return kSizeDone;
}

}  // namespace RawSpeed
