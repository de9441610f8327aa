#include "carving/MovAnalyzer.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <limits>
#include <strings.h>

#include "carving/FileNameFilter.h"
#include "carving/StreamBytes.h"

namespace BruteForce {

namespace {

constexpr const char* kKnownBoxes[] = {"TSCM", "TSCR", "mdat", "free", "ftyp", "meco", "meta", "mfra", "moof", "moov",
                                       "mvex", "mvhd", "pdin", "pnot", "skip", "trak", "udta", "uuid", "wide"};

constexpr const char* kNotMov[] = {"ftypisom", "ftyp3gp4", "ftyp3g2a", "ftypmmp4",
                                   "ftypM4A ", "ftypM4V ", "ftypmp41", "ftypmp42"};

bool Is(const unsigned char* p, const char* text) { return std::memcmp(p, text, std::strlen(text)) == 0; }

// "ftyp" in any case. Every sector of a sweep comes here: one load and a
// compare instead of a locale-aware string compare.
bool IsFtyp(const unsigned char* p) {
  std::uint32_t v;
  std::memcpy(&v, p, sizeof(v));
  const std::uint32_t lower = v | 0x20202020u;
  std::uint32_t ftyp;
  std::memcpy(&ftyp, "ftyp", sizeof(ftyp));
  return lower == ftyp;
}

unsigned Be32(const unsigned char* p) {
  return (static_cast<unsigned>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}

int FreeTest(const unsigned char* header) {
  return Is(header + 28, "free") ? MovAnalyzer::kTypeTrec : MovAnalyzer::kTypeMp4;
}

// -1: nothing decided by the compatible brands.
int CompatibleBrands(const unsigned char* header) {
  const unsigned size = Be32(header);
  if (size < 16 || size - 16 > 319) return -1;
  const std::size_t bytes = (size - 16) / 4 * 4;
  std::string text(reinterpret_cast<const char*>(header + 16), bytes);
  text = text.substr(0, text.find('\0'));
  if (text.find("M4A") != std::string::npos) return MovAnalyzer::kTypeM4a;
  if (text.find("M4V") != std::string::npos) return MovAnalyzer::kTypeM4v;
  if (text.find("avc1") != std::string::npos) return FreeTest(header);
  if (text.find("mp41") != std::string::npos) return text == "mp41" ? MovAnalyzer::kTypeM4a : FreeTest(header);
  return -1;
}

// Upper-cased, cleaned text of a camera or device name; empty when unusable.
std::string CleanName(std::string text) {
  text = text.substr(0, text.find('\0'));
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  text = ApiStrFilterBadFileName(text);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  if (HasInvalidCharInFileName(text)) return {};
  return text;
}

}  // namespace

int MovAnalyzer::getTypeByMajorBrand(const unsigned char* header) {
  const unsigned char* b = header + 8;
  if (Is(b, "3g2") || Is(b, "3ge") || Is(b, "3gp") || Is(b, "3gs") || Is(b, "KDDI")) return kType3gp;
  if (Is(b, "qt  ")) return kTypeMov;
  if (Is(b, "M4A")) return kTypeM4a;
  if (Is(b, "M4V")) return kTypeM4v;
  if (Is(b, "iso2") || Is(b, "isom")) {
    const int t = CompatibleBrands(header);
    return t >= 0 ? t : kTypeMov;
  }
  if (Is(b, "mp4")) {
    const int t = CompatibleBrands(header);
    return t >= 0 ? t : FreeTest(header);
  }
  if (Is(b, "F4A") || Is(b, "F4B") || Is(b, "F4P") || Is(b, "F4V") || Is(b, "MSNV") || Is(b, "msnv") || Is(b, "mmp4") ||
      Is(b, "avc1") || Is(b, "NDA")) {
    return FreeTest(header);
  }
  if ((Is(b, "NDS") || Is(b, "NDX")) && std::strchr("CHMPS", b[3]) != nullptr && b[3] != 0) return FreeTest(header);
  return 0;
}

int MovAnalyzer::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr || !IsFtyp(sector + 4)) return 0;
  const unsigned size = Be32(sector);
  if (size < 16 || size > 83) return 0;
  const int type = getTypeByMajorBrand(sector);
  if (type != 0) {
    probe.m_eType = type;
    m_eType = type;
    return 1;
  }
  for (const char* t : kNotMov) {
    if (strncasecmp(reinterpret_cast<const char*>(sector + 4), t, 8) == 0) return 0;
  }
  probe.m_eType = kTypeMov;
  m_eType = kTypeMov;
  return 1;
}

void MovAnalyzer::MovRawFileInfo::CheckIFD(const ByteView& v, std::size_t tiff, std::size_t ifd, std::size_t limit) {
  if (!v.Has(ifd, 2)) return;
  const unsigned entries = m_bLittleEndian ? v.U16Le(ifd) : v.U16Be(ifd);
  if (entries < 1 || entries > 512 || entries > limit / 12) return;
  for (unsigned k = 0; k < entries; ++k) {
    const std::size_t e = ifd + 2 + 12 * static_cast<std::size_t>(k);
    if (!v.Has(e, 12)) return;
    tagIDFEntryFORMOV entry;
    entry.tag = m_bLittleEndian ? v.U16Le(e) : v.U16Be(e);
    entry.elementSize = m_bLittleEndian ? v.U16Le(e + 2) : v.U16Be(e + 2);
    entry.count = m_bLittleEndian ? v.U32Le(e + 4) : v.U32Be(e + 4);
    entry.value = m_bLittleEndian ? v.U32Le(e + 8) : v.U32Be(e + 8);
    entry.length = entry.count;
    if (entry.tag != 271 && entry.tag != 272 && entry.tag != 306) continue;
    const std::size_t at = tiff + entry.value;
    if (entry.value > v.Size() || !v.Has(at, 63)) continue;
    char text[64] = {};
    v.Bytes(at, text, 63);
    if (entry.tag == 306) {
      const std::string time(text, strnlen(text, 63));
      if (time.size() >= 10 && time.size() <= 40) m_strTime = time;
      continue;
    }
    std::string name = CleanName(std::string(text, strnlen(text, 63)));
    if (entry.tag == 271) {
      if (name.empty() || name.size() > 30) continue;
      m_strMake = name;
      SetRawFileTagAndValue(kRawTagMov, name);
    } else {
      m_strModel = name;
      if (m_strMake.empty() && !m_strModel.empty()) {
        m_strMake = m_strModel;
        std::string label = m_strMake;
        SetRawFileTagAndValue(kRawTagMov, label);
        m_strModel.clear();
      }
    }
  }
}

void MovAnalyzer::MovRawFileInfo::GetMovTagInfo(const StreamBytes& bytes, long long moovRel) {
  const ByteView& v = bytes.View();
  std::size_t start = 0;
  if (!bytes.Locate(moovRel, 8, start)) return;
  const std::size_t end = std::min(v.Size(), start + 1024);
  for (std::size_t p = start; p + 4 <= end; ++p) {
    if (!v.Equals(p, "Exif", 4)) continue;
    const std::size_t tiff = p + 6;
    if (!v.Has(tiff, 8)) return;
    if (v.Equals(tiff, "II", 2)) {
      m_bLittleEndian = true;
    } else if (v.Equals(tiff, "MM", 2)) {
      m_bLittleEndian = false;
    } else {
      return;
    }
    m_exifHeader = tiff;
    const std::size_t first = m_bLittleEndian ? v.U32Le(tiff + 4) : v.U32Be(tiff + 4);
    if (first > v.Size() || !v.Has(tiff + first, 100)) return;
    CheckIFD(v, tiff, tiff + first, v.Size() - tiff);
    return;
  }
}

void MovAnalyzer::MovRawFileInfo::getCameraMakeName(const StreamBytes& bytes, long long sectorNumber,
                                                    const SearchContext& context) {
  if (sectorNumber - 2 < context.previousBlockStartSector) return;
  const ByteView& v = bytes.View();
  auto search = [&](long long rel, std::size_t n) -> bool {
    std::size_t at = 0;
    if (!bytes.Locate(rel, n, at)) return false;
    for (std::size_t p = at; p + 7 <= at + n; ++p) {
      if (v.Equals(p, "iPhone ", 7) || v.Equals(p, "iPad ", 5)) {
        char text[21] = {};
        v.Bytes(p, text, std::min<std::size_t>(20, v.Size() - p));
        const std::string make = CleanName(std::string(text, strnlen(text, 20)));
        if (!make.empty()) {
          m_strMake = make;
          std::string label = make;
          SetRawFileTagAndValue(kRawTagMov, label);
        }
        return true;
      }
    }
    return false;
  };
  bool trex = false;
  std::size_t at = 0;
  if (bytes.Locate(-16, 512, at)) {
    for (std::size_t p = at; p + 4 <= at + 512 && !trex; ++p) trex = v.Equals(p, "trex", 4);
  }
  if (trex) {
    if (sectorNumber - 3 >= context.previousBlockStartSector) search(-1298, 1024);
  } else {
    search(-16, 512);
  }
}

void MovAnalyzer::MovRawFileInfo::endSearch(long long sectorNumber, const StreamBytes* bytes,
                                            const SearchContext* context) {
  m_bEnded = true;
  if (m_iBoxCount <= 1) {
    m_llSize = 0;
    return;
  }
  if (m_eType == kTypeMov && m_iMoovCount == 1 && m_iIso != 0) {
    m_eType = kTypeMp4;
  } else if (m_strMake.empty() && bytes != nullptr && context != nullptr) {
    getCameraMakeName(*bytes, sectorNumber, *context);
  }
  if (!m_strModel.empty()) {
    m_strName = m_strModel;
  } else if (m_strMake.empty()) {
    m_eTag = kRawTagNone;
    m_strTagValue.clear();
  }
  m_llSize = m_llBoxOffset;
}

void MovAnalyzer::MovRawFileInfo::WillBeRemove(unsigned char*, long long sectorNumber) {
  if (!m_bEnded) endSearch(sectorNumber, nullptr, nullptr);
  if (auto* owner = dynamic_cast<MovAnalyzer*>(m_pAnalyser)) {
    if (IRawFileAnalyser* reader = owner->Reader()) m_pAnalyser = reader;
  }
}

int MovAnalyzer::MovRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                                             SearchContext& context) {
  if (m_bEnded) return kSizeDone;
  if (sector == nullptr || sectorSize <= 0 || sectorNumber < m_llStartSector) return kSizeNeedMore;
  const long long index = sectorNumber - m_llStartSector;
  if (index < m_llBoxOffset / sectorSize) return kSizeNeedMore;
  const StreamBytes bytes(sector, sectorSize, context);
  const ByteView& v = bytes.View();
  if (m_llBoxOffset == 0) {
    m_iIso = std::memcmp(sector + 8, "iso", 3) == 0 ? 1 : 0;
    m_llSectorSize = sectorSize;
  }
  const long long pos = index * sectorSize;
  for (int n = 0; n < kMaxBoxesPerSector; ++n) {
    const long long rel = m_llBoxOffset - pos;
    if (rel >= sectorSize) return kSizeNeedMore;
    std::size_t at = 0;
    if (!bytes.Locate(rel, 8, at)) {
      if (rel >= 0) return kSizeNeedMore;  // read again with the next block in view
      break;
    }
    long long size = v.U32Be(at);
    if (size == 0 || (size >= 2 && size <= 7)) break;
    if (size == 1) {
      if (!bytes.Locate(rel, 16, at)) {
        if (rel >= 0) return kSizeNeedMore;
        break;
      }
      const unsigned long long big = v.U64Be(at + 8);
      if (big == 0 || big > static_cast<unsigned long long>(std::numeric_limits<long long>::max())) break;
      size = static_cast<long long>(big);
      if (size < 16) break;
    }
    bool known = false;
    for (const char* t : kKnownBoxes) known = known || v.Equals(at + 4, t, 4);
    if (!known) break;
    if (v.Equals(at + 4, "ftyp", 4) && m_iBoxCount >= 2) break;
    if (size > std::numeric_limits<long long>::max() - m_llBoxOffset) break;
    ++m_iBoxCount;
    const bool moov = v.Equals(at + 4, "moov", 4);
    if (moov) ++m_iMoovCount;
    m_llBoxOffset += size;
    m_llSize = m_llBoxOffset;
    if (moov) GetMovTagInfo(bytes, rel);
  }
  endSearch(sectorNumber, &bytes, &context);
  return kSizeDone;
}

}  // namespace BruteForce
