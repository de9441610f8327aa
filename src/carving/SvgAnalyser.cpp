#include "carving/SvgAnalyser.h"

#include <cstring>
#include <string>

namespace Kalder {

namespace {
constexpr const char* kSvgForms[] = {"<svg ", "<svg\n ", "<svg\r ", "<svg> ", "<svg>\n", "<svg>\r"};
constexpr unsigned char kOtherForm[] = {0xCD, 0x01, 0x00, 0x00};
constexpr long long kOtherFormSizeAt = 1100;
}  // namespace

int SVGAnalyser::JudeGpxAndPlist(const unsigned char* sector) {
  using streammember::EqualsNoCase;
  if (EqualsNoCase(sector, "<?xml", 5)) {
    if (EqualsNoCase(sector + 57, "<gpx", 4) || EqualsNoCase(sector + 39, "<gpx", 4)) return kRawTypeGpx;
    if (EqualsNoCase(sector + 39, "<!DOCTYPE plist", 15) || EqualsNoCase(sector + 40, "<!DOCTYPE plist", 15)) {
      return kRawTypePlist;
    }
  }
  if (EqualsNoCase(sector, "BCFZ", 4)) return kRawTypeGpx;
  return 0;
}

int SVGAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr) return 0;
  if (const int type = JudeGpxAndPlist(sector)) {
    probe.m_eType = type;
    return 1;
  }
  static constexpr char kDeclaration[] = "<?xml version=\"";
  if (std::memcmp(sector, kDeclaration, 15) == 0 || std::memcmp(sector + 3, kDeclaration, 15) == 0) {
    const std::string text(reinterpret_cast<const char*>(sector), 512);
    for (const char* form : kSvgForms) {
      if (text.find(form) != std::string::npos) {
        probe.m_eType = kRawTypeSvg;
        return 1;
      }
    }
    if (text.find("=\"Evernote") != std::string::npos) {
      probe.m_eType = kRawTypeEnex;
      return 1;
    }
    if (text.find("csl") != std::string::npos) {
      probe.m_eType = kRawTypeCsl;
      return 1;
    }
    return 0;
  }
  if (std::memcmp(sector, kOtherForm, 4) == 0 || std::memcmp(sector, "<svg ", 5) == 0) {
    probe.m_eType = kRawTypeSvg;
    return 1;
  }
  return 0;
}

void SVGAnalyser::SVGRawFileInfo::initSVGFileInfoMemValue() {
  m_bFirst = true;
  m_bOtherForm = false;
  m_llWalkedEnd = 0;
  m_llCap = kCap;
}

int SVGAnalyser::SVGRawFileInfo::GpxAndPlistSize(unsigned char* sector, int sectorSize, long long pos,
                                                 long long sectorNumber, const SearchContext& context) {
  if (pos > m_llCap) {
    m_llSize = pos;
    m_bEndGuessed = true;
    streammember::NameRange(*this, streammember::kFormA, sectorNumber);
    return kSizeDone;
  }
  if (context.zeroTailBytes < 8) return kSizeNeedMore;
  using BruteForce::RawUtility;
  const int gpx = RawUtility::FindMagicInBuffer(sector, sectorSize, context.zeroTailBytes,
                                                reinterpret_cast<const unsigned char*>("</gpx>"), 6);
  const int plist = RawUtility::FindMagicInBuffer(sector, sectorSize, context.zeroTailBytes,
                                                  reinterpret_cast<const unsigned char*>("</plist>"), 8);
  m_llSize = pos + (gpx + plist != 0 ? gpx + plist : sectorSize) + 3;
  m_bEndGuessed = gpx + plist == 0;
  streammember::NameRange(*this, streammember::kFormA, sectorNumber);
  return kSizeDone;
}

int SVGAnalyser::SVGRawFileInfo::SvgOtherVerRawSize(const StreamBytes& bytes, long long pos, long long sectorNumber) {
  std::size_t at = 0;
  if (!bytes.Locate(kOtherFormSizeAt - pos, 4, at)) {
    if (pos > kOtherFormSizeAt) {
      m_llSize = 0;  // the size field was never loaded: the device reader decides
      return kSizeDone;
    }
    return kSizeNeedMore;
  }
  const long long size = static_cast<long long>(bytes.View().U32Le(at)) + 1152;
  m_llSize = size <= m_llCap ? size : 0;
  streammember::NameRange(*this, streammember::kFormA, sectorNumber);
  return kSizeDone;
}

int SVGAnalyser::SVGRawFileInfo::bContinue(unsigned char* sector, int sectorSize, long long pos, long long sectorNumber,
                                           const SearchContext& context) {
  if (sector[sectorSize - 1] != 0 || sector[sectorSize - 2] != 0) return kWalkNeedsMore;
  bool found = streammember::FindBytes(sector, sectorSize, "</", 2) >= 0;
  if (!found && context.previousBlockStartSector + 1 < sectorNumber) {
    const StreamBytes bytes(sector, sectorSize, context);
    std::size_t at = 0;
    const long long half = sectorSize / 2;
    if (bytes.Locate(-half, static_cast<std::size_t>(sectorSize + half), at)) {
      found = streammember::FindBytes(bytes.View().Data() + at, sectorSize + half, "</", 2) >= 0;
    }
  }
  if (!found) return kWalkNeedsMore;
  m_llWalkedEnd = pos + BruteForce::RawUtility::Binary_Compare(sector, sectorSize) + 2;
  return kWalkEnded;
}

int SVGAnalyser::SVGRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                                             SearchContext& context) {
  long long pos = 0;
  if (!streammember::SectorOffset(*this, sector, sectorSize, sectorNumber, pos) || sectorSize < 4) return kSizeDone;
  if (m_bFirst) {
    m_bFirst = false;
    m_bOtherForm = std::memcmp(sector, kOtherForm, 4) == 0;
  }
  if (!m_bOtherForm) {
    // The document's closing tag ends it, whatever follows on the disk.
    const char* tag = m_eType == kRawTypeGpx     ? "</gpx>"
                      : m_eType == kRawTypePlist ? "</plist>"
                      : m_eType == kRawTypeSvg   ? "</svg>"
                                                 : nullptr;
    const long long closed = tag != nullptr ? ClosingTagEnd(sector, sectorSize, context, tag) : -1;
    if (closed >= 0) {
      m_llSize = pos + closed;
      streammember::NameRange(*this, streammember::kFormA, sectorNumber);
      return kSizeDone;
    }
  }
  if (m_eType == kRawTypeGpx || m_eType == kRawTypePlist)
    return GpxAndPlistSize(sector, sectorSize, pos, sectorNumber, context);
  if (m_bOtherForm) return SvgOtherVerRawSize(StreamBytes(sector, sectorSize, context), pos, sectorNumber);
  if (pos >= m_llCap) {
    m_llSize = m_llCap;
    streammember::NameRange(*this, streammember::kFormA, sectorNumber);
    return kSizeDone;
  }
  if (bContinue(sector, sectorSize, pos, sectorNumber, context) == kWalkNeedsMore) return kSizeNeedMore;
  m_llSize = m_llWalkedEnd;
  streammember::NameRange(*this, streammember::kFormA, sectorNumber);
  return kSizeDone;
}

}  // namespace Kalder
