#include "carving/JpegAnalyzer.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

#include "carving/FileNameFilter.h"
#include "carving/JpegCamera.h"
#include "carving/RawUtility.h"
#include "carving/StreamBytes.h"
#include "core/util/ByteView.h"

namespace BruteForce {

namespace {
constexpr unsigned char kDb[] = {0xFF, 0xD8, 0xFF, 0xDB};
constexpr unsigned char kEe[] = {0xFF, 0xD8, 0xFF, 0xEE};
constexpr unsigned char kEoi[] = {0xFF, 0xD9};
}  // namespace

JpegAnalyzer::JpegAnalyzer() : IRawFileAnalyser(kRawTypeJpg), m_pReader(std::make_unique<FileJPGAnalyser>()) {}
JpegAnalyzer::~JpegAnalyzer() = default;

int JpegAnalyzer::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  return m_pReader->AnalyseBuffer(sector, probe);
}

int JpegAnalyzer::CheckNonJfif(const unsigned char* data, std::size_t length) {
  const ByteView v(data, length);
  std::size_t off = 2;
  bool frame = false;
  for (int n = 0; n < kMaxCheckedSegments; ++n) {
    if (!v.Has(off, 2) || v.U8(off) != 0xFF) return 0;
    const unsigned m = v.U8(off + 1);
    if (m == 0xFF) {
      off += 2;
      continue;
    }
    if (m == 0xD8 || m == 0xD9 || (m >= 0xD0 && m <= 0xD7)) {
      off += 2;
      continue;
    }
    if (!v.Has(off + 2, 2)) return 0;
    const std::size_t length = v.U16Be(off + 2);
    if (length < 2) return 0;
    const bool sof = m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
    if (sof) {
      if (!v.Has(off + 4, 6) || v.U8(off + 4) != 8 || v.U8(off + 9) != 3) return 0;
      frame = true;
    } else if (m == 0xDA) {
      return frame && v.Has(off + 4, 1) && v.U8(off + 4) == 3 ? 1 : 0;
    }
    off += length + 2;
  }
  return 0;
}

int JpegAnalyzer::AnalyseBufferEx(unsigned char* sector, CRawFileInfo& probe, long long sectorSize,
                                  long long sectorNumber, long long, long long blockEndSector) {
  if (sector == nullptr || sectorSize <= 0) return 0;
  if (FileJPGAnalyser::IsJfifOrExif(sector)) {
    probe.m_eType = kRawTypeJpg;
    return 1;
  }
  if (std::memcmp(sector, kDb, 4) != 0 && std::memcmp(sector, kEe, 4) != 0) return 0;
  const long long sectors = blockEndSector - sectorNumber;
  if (sectors <= 0) return 0;
  return CheckNonJfif(sector, static_cast<std::size_t>(sectors * sectorSize));
}

void JpegAnalyzer::JpegRawFileInfo::WillBeRemove(unsigned char*, long long) {
  if (auto* owner = dynamic_cast<JpegAnalyzer*>(m_pAnalyser)) m_pAnalyser = owner->Reader();
}

void JpegAnalyzer::JpegRawFileInfo::ReadCamera(const StreamBytes& bytes, long long rel, long long fileOffset) {
  std::size_t at = 0;
  if (!bytes.Locate(rel, 2, at)) return;
  const std::size_t length = bytes.View().U16Be(at);
  if (length < 8 || !bytes.Locate(rel + 2, 6, at)) return;
  JpegCameraData camera;
  if (!ReadJpegCamera(bytes.View(), at, length - 2, camera)) return;
  m_strMake = camera.make;
  m_strModel = camera.model;
  std::string label = !m_strModel.empty() ? m_strModel : m_strMake;
  if (!label.empty()) SetRawFileTagAndValue(kRawTagCamera, label);
  if (!camera.dateTime.empty()) m_strTime = camera.dateTime;
  const long long thumbEnd = fileOffset + 10 + static_cast<long long>(camera.thumbnailOffset) + camera.thumbnailLength;
  if (camera.thumbnailLength != 0 && thumbEnd > m_llHeaderLength) m_llHeaderLength = thumbEnd;
}

void JpegAnalyzer::JpegRawFileInfo::WalkMarkers(const StreamBytes& bytes, long long pos, long long sectorSize) {
  const ByteView& v = bytes.View();
  for (int n = 0; n < kMaxCheckedSegments && m_llScanOffset != 0; ++n) {
    const long long rel = m_llScanOffset - pos;
    if (rel >= sectorSize) return;  // in a later sector
    std::size_t at = 0;
    if (!bytes.Locate(rel, 4, at)) return;  // waits for the next block
    if (v.U8(at) != 0xFF) {
      m_llScanOffset = 0;
      return;
    }
    const unsigned m = v.U8(at + 1);
    if ((m < 0xC0 && m != 0xD8) || m == 0xFF) {
      m_llScanOffset = 0;
      return;
    }
    if (m == 0xD8) {
      m_llScanOffset += 2;
      continue;
    }
    const long long length = v.U16Be(at + 2);
    if (m == 0xC0 && m_llExpected == 0 && bytes.Locate(rel, 9, at) && v.U8(at + 4) == 8) {
      const long long height = v.U16Be(at + 5);
      const long long width = v.U16Be(at + 7);
      if (height > 400) {
        m_llExpected = height * width;
        m_llHeaderLength += m_llExpected / 8;
      }
    } else if (m == 0xE1 && bytes.Locate(rel + 4, 4, at) && v.Equals(at, "Exif", 4)) {
      ReadCamera(bytes, rel + 2, m_llScanOffset);
    }
    m_llScanOffset += length + 2;
  }
}

long long JpegAnalyzer::JpegRawFileInfo::FindEnd(const StreamBytes& bytes, const unsigned char* sector, int sectorSize,
                                                 long long pos, const SearchContext& context) const {
  const int z = context.zeroTailBytes;
  const int hit = RawUtility::FindMagicInBuffer(sector, sectorSize, z, kEoi, 2);
  if (hit > 0) {
    std::size_t at = 0;
    if (hit + 4 <= sectorSize && bytes.Locate(hit, 4, at) && bytes.View().U32Le(at) == 0) return pos + hit;
    return -1;
  }
  if (!m_bSeen || m_llLastSector < context.previousBlockStartSector) return -1;
  // An end marker that straddles the sector start, or one in the last bytes
  // of the previous sector followed only by zeros.
  const ByteView& v = bytes.View();
  std::size_t at = 0;
  for (long long start = 1; start >= -1; --start) {
    if (bytes.Locate(start, 2, at) && v.U8(at) == 0xFF && v.U8(at + 1) == 0xD9) {
      std::size_t after = 0;
      if (start + 2 + 4 <= sectorSize && bytes.Locate(start + 2, 4, after) && v.U32Le(after) == 0) {
        return pos + start + 2;
      }
    }
  }
  if ((context.flags & 4) == 0) return -1;
  for (long long start = -2; start >= -8; --start) {
    if (!bytes.Locate(start, static_cast<std::size_t>(-start), at)) return -1;
    if (v.U8(at) != 0xFF || v.U8(at + 1) != 0xD9) continue;
    bool zeros = true;
    for (long long k = start + 2; k < 0 && zeros; ++k) zeros = v.U8(at + static_cast<std::size_t>(k - start)) == 0;
    if (zeros) return pos + start + 2;
  }
  return -1;
}

int JpegAnalyzer::JpegRawFileInfo::Finish(long long sectorNumber, long long size) {
  if (HasInvalidCharInFileName(m_strModel)) {
    m_strModel.clear();
  } else if (HasInvalidCharInFileName(m_strMake)) {
    m_strMake.clear();
  }
  char name[1024];
  if (!m_strMake.empty() && !m_strModel.empty()) {
    std::snprintf(name, sizeof(name), "%s_%s_%lld-%lld", m_strMake.c_str(), m_strModel.c_str(), m_llStartSector,
                  sectorNumber);
  } else if (!m_strMake.empty() || !m_strModel.empty()) {
    std::snprintf(name, sizeof(name), "%s_%lld-%lld", (m_strMake.empty() ? m_strModel : m_strMake).c_str(),
                  m_llStartSector, sectorNumber);
  } else {
    std::snprintf(name, sizeof(name), "%lld-%lld", m_llStartSector, sectorNumber);
  }
  m_strName = name;
  m_llSize = size;
  m_eType = kRawTypeJpg;
  return 1;
}

int JpegAnalyzer::JpegRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                                               SearchContext& context) {
  if (sector == nullptr || sectorSize <= 0 || sectorNumber < m_llStartSector) return kSizeNeedMore;
  const StreamBytes bytes(sector, sectorSize, context);
  const long long pos = (sectorNumber - m_llStartSector) * sectorSize;
  if (sectorNumber == m_llStartSector) {
    if (strncasecmp(reinterpret_cast<const char*>(sector + 6), "JFIF", 4) == 0) {
      std::size_t at = 0;
      if (bytes.Locate(20, 2, at) && bytes.View().U8(at) == 0xFF && bytes.View().U8(at + 1) == 0xE1) {
        ReadCamera(bytes, 22, 20);
      }
    } else if (strncasecmp(reinterpret_cast<const char*>(sector + 6), "Exif", 4) == 0) {
      m_bExif = true;
      ReadCamera(bytes, 4, 2);
    }
    if (m_llHeaderLength <= 1024) m_llScanOffset = 2;
  }
  if (m_llScanOffset != 0 && m_llScanOffset >= pos - bytes.Before()) WalkMarkers(bytes, pos, sectorSize);
  // While the marker structure holds, only its end marker ends the image.
  if (m_structure.Feed(sector, static_cast<std::size_t>(sectorSize), pos) != JpegStructure::State::kBroken) {
    m_llLastSector = sectorNumber;
    m_bSeen = true;
    if (m_structure.GetState() == JpegStructure::State::kEnded) return Finish(sectorNumber, m_structure.End());
    if (!m_bExif) m_llCap = kPlainCap;
    if (m_llCap < pos) {
      m_bEndGuessed = true;
      return Finish(sectorNumber, m_llCap);
    }
    return kSizeNeedMore;
  }

  const int z = context.zeroTailBytes;
  long long end = -1;
  const bool test = m_bExif ? (z > 8 && m_llHeaderLength + m_llExtraHeader < pos) : z > 7;
  if (test) end = FindEnd(bytes, sector, sectorSize, pos, context);
  m_llLastSector = sectorNumber;
  m_bSeen = true;
  if (end > 0) return Finish(sectorNumber, end);
  if (m_llExpected != 0 && m_llExpected < pos) {
    m_bEndGuessed = true;
    return Finish(sectorNumber, pos);
  }
  if (!m_bExif) m_llCap = kPlainCap;
  if (m_llCap < pos) {
    m_bEndGuessed = true;
    return Finish(sectorNumber, m_llCap);
  }
  return kSizeNeedMore;
}

}  // namespace BruteForce
