#include "carving/SitAnalyser.h"

#include <cstring>
#include <vector>

#include "carving/RawFileBuffer.h"

namespace {
constexpr unsigned char kWebForm[] = {0x57, 0x45, 0x42, 0x42, 0x41, 0x49, 0x4B, 0x45,
                                      0x66, 0x66, 0xEB, 0xB4, 0xA3, 0x74, 0xBD, 0x7B};
constexpr unsigned char kEnds[][8] = {{0x02, 0xD7, 0x0A, 0x19, 0x98, 0xF6, 0x42, 0x88},
                                      {0x02, 0xD7, 0x0A, 0x3B, 0x98, 0xF6, 0x42, 0x88},
                                      {0x02, 0xD7, 0x0A, 0x10, 0x98, 0xF6, 0x42, 0x88}};

bool EndMarkerNearEnd(const unsigned char* span, long long length) {
  if (length <= 20) return false;
  for (long long q = length - 20; q + 8 <= length; ++q) {
    for (const auto& marker : kEnds) {
      if (std::memcmp(span + q, marker, 8) == 0) return true;
    }
  }
  return false;
}
}  // namespace

bool FileSITAnalyser::IsSitHeader(const unsigned char* sector) {
  return sector != nullptr && (std::memcmp(sector + 4, "fIt", 3) == 0 || IsWebForm(sector));
}

bool FileSITAnalyser::IsWebForm(const unsigned char* sector) {
  return sector != nullptr && std::memcmp(sector, kWebForm, sizeof(kWebForm)) == 0;
}

int FileSITAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (!IsSitHeader(sector)) return 0;
  probe.m_eType = !IsWebForm(sector) && sector[7] == '!' ? kRawTypeSitx : kRawTypeSit;
  return 1;
}

bool FileSITAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
  info.m_llSize = 0;
  if (device == nullptr) return false;
  RawFileBuffer reader(device, static_cast<unsigned long long>(info.m_llStartSector));
  unsigned char head[88];
  if (!reader.Read(0, head, sizeof(head))) return false;
  if (head[7] == ' ') {
    const unsigned stored = ByteView(head, sizeof(head)).U32Be(84);
    info.m_llSize = (stored & 0x80000000u) != 0 ? kLimit : stored;
    info.m_eType = kRawTypeSit;
    return info.m_llSize > 0;
  }
  if (head[7] != '!') return false;
  const long long ss = reader.SectorSize();
  std::vector<unsigned char> sector(static_cast<std::size_t>(ss));
  for (long long off = 0; off <= kLimit; off += ss) {
    if (!reader.Read(static_cast<unsigned long long>(off), sector.data(), sector.size())) break;
    // The whole marker is looked for in every sector, so an archive followed
    // by other data is found too.
    long long k = -1;
    for (long long q = 0; q + 8 <= ss && k < 0; ++q) {
      if (sector[static_cast<std::size_t>(q)] == 0x02 && std::memcmp(sector.data() + q, "\x02\xD7\x0A", 3) == 0 &&
          std::memcmp(sector.data() + q + 4, "\x98\xF6\x42\x88", 4) == 0) {
        k = q;
      }
    }
    if (k >= 0) {
      const unsigned kind = sector[static_cast<std::size_t>(k + 3)];
      info.m_llSize = off + k + 8 + (kind == 0x19 ? 4 : kind == 0x3B ? 5 : 6);
      break;
    }
    if (sector[static_cast<std::size_t>(ss - 1)] != 0 || sector[static_cast<std::size_t>(ss - 2)] != 0) continue;
    unsigned char across[32];
    if (off >= 16 && reader.Read(static_cast<unsigned long long>(off - 16), across, sizeof(across)) &&
        streammember::FindBytes(across, 32, "\x02\xD7\x0A", 3) >= 0) {
      info.m_llSize = off + ss;
      break;
    }
  }
  info.m_eType = kRawTypeSitx;
  return info.m_llSize > 0;
}

namespace RawSpeed {

int SITAnalyser::SITRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                                             SearchContext& context) {
  long long pos = 0;
  if (!streammember::SectorOffset(*this, sector, sectorSize, sectorNumber, pos)) return kSizeNeedMore;
  if (m_eMode == kUnknown) {
    if (FileSITAnalyser::IsWebForm(sector)) {
      m_eMode = kZeroTail;
    } else if (sector[7] == '!') {
      m_eMode = kSitx;
      m_eType = kRawTypeSitx;
    } else {
      m_eMode = kStoredSize;
    }
  }
  switch (m_eMode) {
    case kStoredSize: {
      const long long stored = ByteView(sector, static_cast<std::size_t>(sectorSize)).U32Be(84);
      m_llSize = stored != 0 && stored < kCap ? stored : kCap;
      return kSizeDone;
    }
    case kZeroTail:
      if (context.zeroTailBytes < 9) return kSizeNeedMore;
      m_llSize = pos + BruteForce::RawUtility::Binary_Compare(sector, sectorSize);
      m_bEndGuessed = true;
      streammember::NameRange(*this, streammember::kFormB, sectorNumber);
      return kSizeDone;
    default:
      break;
  }
  if (context.zeroTailBytes < 4) return kSizeNeedMore;
  if (pos > kCap) {
    m_llSize = kCap;
    m_bEndGuessed = true;
    streammember::NameRange(*this, streammember::kFormB, sectorNumber);
    return kSizeDone;
  }
  const int c = BruteForce::RawUtility::Binary_Compare(sector, sectorSize);
  const StreamBytes bytes(sector, sectorSize, context);
  std::size_t at = 0;
  bool found = false;
  if (pos >= sectorSize && bytes.Locate(-sectorSize, static_cast<std::size_t>(sectorSize + c), at)) {
    found = EndMarkerNearEnd(bytes.View().Data() + at, sectorSize + c);
  } else {
    found = EndMarkerNearEnd(sector, c);
  }
  if (!found) return kSizeNeedMore;
  m_llSize = pos + c;
  streammember::NameRange(*this, streammember::kFormB, sectorNumber);
  return kSizeDone;
}

}  // namespace RawSpeed
