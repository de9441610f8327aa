#include "carving/PsdAnalyser.h"

namespace RawSpeed {

int PSDAnalyser::PSDRawFileInfo::Finish(long long size, long long sectorNumber) {
  m_llSize = size;
  m_eType = kRawTypePsd;
  streammember::NameRange(*this, streammember::kFormB, sectorNumber);
  return 1;
}

int PSDAnalyser::PSDRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                                             SearchContext& context) {
  long long pos = 0;
  if (!streammember::SectorOffset(*this, sector, sectorSize, sectorNumber, pos)) return kSizeNeedMore;
  if (pos > 5 * kCap) {
    m_llSize = 0;  // the device reader takes over
    return kSizeDone;
  }
  const StreamBytes bytes(sector, sectorSize, context);
  const ByteView& v = bytes.View();
  std::size_t at = 0;
  while (m_eStage != kZeroTail && m_llWalk < pos + sectorSize) {
    switch (m_eStage) {
      case kColourMode: {
        if (!bytes.Locate(-pos, 30, at)) return kSizeNeedMore;
        m_u64Rows = static_cast<unsigned long long>(v.U32Be(at + 14)) * v.U16Be(at + 12);
        m_u64RawBytes = m_u64Rows * v.U32Be(at + 18) * v.U16Be(at + 22) / 8;
        m_llWalk = 30 + static_cast<long long>(v.U32Be(at + 26));
        m_eStage = kResources;
        break;
      }
      case kResources:
      case kLayers:
        if (!bytes.Locate(m_llWalk - pos, 4, at)) return kSizeNeedMore;
        m_llWalk += static_cast<long long>(v.U32Be(at)) + 4;
        m_eStage = m_eStage == kResources ? kLayers : kCompression;
        break;
      case kCompression: {
        if (!bytes.Locate(m_llWalk - pos, 2, at)) return kSizeNeedMore;
        const unsigned compression = v.U16Be(at);
        m_llWalk += 2;
        if (compression == 1) {
          m_eStage = kRleCounts;
        } else if (compression == 0 && m_u64RawBytes <= static_cast<unsigned long long>(5 * kCap)) {
          m_llEnd = m_llWalk + static_cast<long long>(m_u64RawBytes);
          m_eStage = kKnownEnd;
        } else {
          m_eStage = kZeroTail;
        }
        break;
      }
      case kRleCounts:
        if (m_u64RowIndex >= m_u64Rows) {
          m_llEnd = m_llWalk + m_llRleSum;
          m_eStage = kKnownEnd;
          break;
        }
        if (!bytes.Locate(m_llWalk - pos, 2, at)) return kSizeNeedMore;
        m_llRleSum += v.U16Be(at);
        m_llWalk += 2;
        ++m_u64RowIndex;
        break;
      case kKnownEnd:
        if (m_llEnd > 5 * kCap) {
          m_eStage = kZeroTail;
          break;
        }
        if (m_llEnd <= pos + sectorSize) return Finish(m_llEnd, sectorNumber);
        return kSizeNeedMore;
      case kZeroTail:
        break;
    }
  }
  if (m_eStage == kKnownEnd && m_llEnd <= pos + sectorSize) return Finish(m_llEnd, sectorNumber);
  if (m_eStage != kZeroTail || m_llWalk >= pos || context.zeroTailBytes < 8) return kSizeNeedMore;
  m_bEndGuessed = true;
  return Finish(pos + BruteForce::RawUtility::Binary_Compare(sector, sectorSize), sectorNumber);
}

}  // namespace RawSpeed
