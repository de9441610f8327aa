#include "carving/DbxAnalyser.h"

#include <cstring>

namespace RawSpeed {

namespace {
constexpr unsigned char kForms[][16] = {
    {0xCF, 0xAD, 0x12, 0xFE, 0xC5, 0xFD, 0x74, 0x6F, 0x66, 0xE3, 0xD1, 0x11, 0x9A, 0x4E, 0x00, 0xC0},
    {0xCF, 0xAD, 0x12, 0xFE, 0xC6, 0xFD, 0x74, 0x6F, 0x66, 0xE3, 0xD1, 0x11, 0x9A, 0x4E, 0x00, 0xC0},
    {0xCF, 0xAD, 0x12, 0xFE, 0xC7, 0xFD, 0x74, 0x6F, 0x66, 0xE3, 0xD1, 0x11, 0x9A, 0x4E, 0x00, 0xC0},
    {0xCF, 0xAD, 0x12, 0xFE, 0x30, 0x9D, 0xFE, 0x26, 0x8F, 0x1A, 0xD2, 0x11, 0xAA, 0xBF, 0x00, 0x60},
    {0xF7, 0x89, 0x34, 0x2C, 0xF7, 0xF0, 0xEE, 0x6D, 0xAF, 0x22, 0x89, 0xD1, 0x00, 0xFF, 0xF0, 0xB0}};
constexpr unsigned char kJmf[] = {'J', 'M', 'F', '6', 0x03, 0x00, 0x01, 0x00};
}  // namespace

int DbxAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr) return 0;
  bool known = std::memcmp(sector, kJmf, sizeof(kJmf)) == 0;
  for (const auto& form : kForms) known = known || std::memcmp(sector, form, 16) == 0;
  if (!known) return 0;
  probe.m_eType = kRawTypeDbx;
  return 1;
}

int DbxAnalyser::DbxRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                                             SearchContext& context) {
  long long pos = 0;
  if (!streammember::SectorOffset(*this, sector, sectorSize, sectorNumber, pos)) return kSizeNeedMore;
  if (pos > kCap) return kSizeDone;
  if (m_bFirst) {
    m_bFirst = false;
    m_bZeroTail = sector[0] == 0xF7 && sector[1] == 0x89 && sector[2] == 0x34 && sector[3] == 0x2C;
    if (!m_bZeroTail) {
      const long long stored = ByteView(sector, static_cast<std::size_t>(sectorSize)).U32Le(124);
      m_llSize = stored < kCap ? stored : kCap;
      return kSizeDone;
    }
  }
  if (context.zeroTailBytes < 9) return kSizeNeedMore;
  m_llSize = pos + BruteForce::RawUtility::Binary_Compare(sector, sectorSize);
  m_bEndGuessed = true;
  streammember::NameRange(*this, streammember::kFormC, sectorNumber);
  return kSizeDone;
}

}  // namespace RawSpeed
