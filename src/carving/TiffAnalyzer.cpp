#include "carving/TiffAnalyzer.h"

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <vector>

#include "carving/StreamBytes.h"
#include "carving/TiffTags.h"

namespace BruteForce {

namespace {
constexpr char kRafMagic[] = "FUJIFILMCCD-RAW ";
constexpr long long kFinishEnd = 0xA00001;
constexpr long long kRoundedEnd = 0x100000;
constexpr long long kAreaLimit = 0xC800000;
constexpr int kMaxChainRepeats = 1024;
constexpr int kMaxPendingRounds = 64;
}  // namespace

unsigned short TiffAnalyzer::GetSizeTypeWide(unsigned type) {
  return static_cast<unsigned short>(tifftag::ElementSize(type));
}

int TiffAnalyzer::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr) return 0;
  static constexpr unsigned char kHeads[][4] = {
      {0x4D, 0x4D, 0x00, 0x2A}, {0x49, 0x49, 0x2A, 0x00}, {0x49, 0x49, 0x55, 0x00},
      {'I', 'I', 'R', 'O'},     {'I', 'I', 'R', 'S'},     {'M', 'M', 'O', 'R'},
  };
  bool ok = std::memcmp(sector, kRafMagic, 16) == 0;
  for (const auto& h : kHeads) ok = ok || std::memcmp(sector, h, 4) == 0;
  if (!ok) return 0;
  probe.m_eType = kRawTypeTif;
  return 1;
}

using Info = TiffAnalyzer::TiffRawFileInfo;

void Info::WillBeRemove(unsigned char*, long long) {
  if (auto* owner = dynamic_cast<TiffAnalyzer*>(m_pAnalyser)) m_pAnalyser = owner->Reader();
}

int Info::Locate(long long off, std::size_t n, std::size_t& at) const {
  if (m_pBytes == nullptr || off < 0) return 1;
  const long long rel = off - (m_llSector - m_llStartSector) * m_llSectorSize;
  if (m_pBytes->Locate(rel, n, at)) return 0;
  return rel < -m_pBytes->Before() ? -1 : 1;
}

unsigned Info::Get16(std::size_t at) const {
  const ByteView& v = m_pBytes->View();
  return m_bLittle ? v.U16Le(at) : v.U16Be(at);
}

unsigned Info::Get32(std::size_t at) const {
  const ByteView& v = m_pBytes->View();
  return m_bLittle ? v.U32Le(at) : v.U32Be(at);
}

bool Info::IsJpegAt(long long off, bool& beyond) const {
  beyond = false;
  std::size_t at = 0;
  const int r = Locate(off, 4, at);
  if (r != 0) {
    beyond = r > 0;
    return false;
  }
  unsigned char b[4];
  m_pBytes->View().Bytes(at, b, 4);
  return IsTiffJpegStart(b);
}

void Info::AddSecAndOffset2Map(long long offset) {
  if (offset <= 0 || offset > 0xFFFFFFFFLL) return;
  m_pendingIfds.emplace(static_cast<unsigned>(offset), m_llStartSector + offset / m_llSectorSize);
}

bool Info::ReadText(const tagIDFEntry& e, std::size_t entryAt, std::string& out, bool& gone) {
  gone = false;
  const std::size_t n = e.count < 63 ? e.count : 63;
  if (n == 0) {
    out.clear();
    return true;
  }
  std::size_t at = entryAt + 8;
  if (e.byteLength > 4) {
    const int r = Locate(e.value, n, at);
    if (r != 0) {
      gone = r < 0;
      return false;
    }
  }
  std::vector<unsigned char> raw(n);
  if (!m_pBytes->View().Bytes(at, raw.data(), n)) return false;
  out.assign(reinterpret_cast<const char*>(raw.data()), n);
  return true;
}

bool Info::LastElement(const tagIDFEntry& e, std::size_t entryAt, unsigned& v) {
  if (e.count == 0 || (e.elementSize != 2 && e.elementSize != 4)) return false;
  if (e.byteLength <= 4) {
    v = e.elementSize == 2 ? Get16(entryAt + 8 + 2 * (e.count - 1)) : Get32(entryAt + 8);
    return true;
  }
  std::size_t at = 0;
  const long long off = static_cast<long long>(e.value) + static_cast<long long>(e.count - 1) * e.elementSize;
  if (Locate(off, e.elementSize, at) != 0) return false;
  v = e.elementSize == 2 ? Get16(at) : Get32(at);
  return true;
}

void Info::MakeTag(const tagIDFEntry& e, std::size_t entryAt) {
  if (m_iMakeRead != 0) return;
  std::string raw;
  bool gone = false;
  if (!ReadText(e, entryAt, raw, gone)) {
    if (!gone) m_iStop = 1;
    return;
  }
  m_iMakeRead = 1;
  std::string make = TiffCameraText(reinterpret_cast<const unsigned char*>(raw.data()), raw.size(), true);
  if (!make.empty() && make.size() <= 30) {
    m_strMake = make;
    SetRawFileTagAndValue(kRawTagCamera, make);
  }
}

void Info::ModelTag(const tagIDFEntry& e, std::size_t entryAt) {
  if (m_iModelRead != 0) return;
  std::string raw;
  bool gone = false;
  if (!ReadText(e, entryAt, raw, gone)) {
    m_iStop = 1;
    return;
  }
  m_iModelRead = 1;
  m_strModel = TiffCameraText(reinterpret_cast<const unsigned char*>(raw.data()), raw.size(), false);
  if (m_strMake.empty() && !m_strModel.empty()) {
    std::string label = m_strModel;
    SetRawFileTagAndValue(kRawTagCamera, label);
  }
}

void Info::StripOffsetsTag(const tagIDFEntry& e, unsigned number, std::size_t entryAt) {
  if (e.value == 0xFFFFFFFFu) return;
  if (e.count == 1) {
    m_llLastStripOffset = number;
    bool beyond = false;
    if (IsJpegAt(number, beyond)) {
      m_uStripIsJpeg = 1;
    } else if (beyond) {
      m_u64PendingStrip = number;
    }
    return;
  }
  unsigned last = 0;
  if (!LastElement(e, entryAt, last)) {
    m_iStop = 1;
    return;
  }
  m_llLastStripOffset = last;
}

void Info::StripByteCountsTag(const tagIDFEntry& e, unsigned number, std::size_t entryAt) {
  if (number == 0xFFFFFFFFu || (e.elementSize == 2 && e.count == 1 && number == 0xFFFF)) return;
  if (e.count == 1) {
    m_uLastStripBytes = number;
    if (m_uStripIsJpeg != 0) {
      m_llThumbOffset = m_llLastStripOffset;
      m_llThumbSize = number;
      m_uStripIsJpeg = 0;
      m_u64PendingStrip = 0;
    } else if (m_u64PendingStrip != 0 && m_u64PendingStrip <= 0xFFFFFFFFu) {
      m_pendingJpeg[static_cast<unsigned>(m_u64PendingStrip)] = number;
      m_u64PendingStrip = 0;
    }
  } else {
    unsigned last = 0;
    if (!LastElement(e, entryAt, last)) {
      m_iStop = 1;
      return;
    }
    m_uLastStripBytes = last;
  }
  if (m_llLastStripOffset > 0 && m_uLastStripBytes > 0) {
    const long long stripEnd = m_llLastStripOffset + m_uLastStripBytes;
    Raise(stripEnd);
    if (stripEnd > m_llProven) m_llProven = stripEnd;
    m_iStripOrThumbKnown = 1;
    // Nearby: the strip's end is exact (never below a known structure).
    if (m_llEnd / m_llSectorSize == stripEnd / m_llSectorSize) m_llEnd = std::max(stripEnd, m_llProven);
  }
}

void Info::DateTimeTag(const tagIDFEntry& e, std::size_t entryAt) {
  std::string raw;
  bool gone = false;
  if (!ReadText(e, entryAt, raw, gone)) {
    m_iStop = 1;
    return;
  }
  const std::string text = raw.substr(0, raw.find('\0'));
  if (text.size() >= 10 && text.size() <= 40) m_strTime = text;
}

void Info::TileByteCountsTag(const tagIDFEntry& e, unsigned number) {
  m_uTileBytesValue = e.value;
  m_uTileBytesElement = e.elementSize;
  if (e.byteLength != m_uTileOffsetsLength || e.count != m_uTileCount || e.count == 0) return;
  long long estimate = 0;
  if (e.count == 1) {
    estimate = static_cast<long long>(m_uTileOffsets) + number;
  } else {
    estimate = static_cast<long long>(e.value) + static_cast<long long>(e.count - 1) * (e.elementSize + 1024);
  }
  if (estimate > m_llTileEstimate) m_llTileEstimate = estimate;
}

void Info::SubIfdsTag(const tagIDFEntry& e) {
  if (e.byteLength == 0 || e.count > kMaxEntries) {
    m_iStop = 1;
    return;
  }
  long long ptr = 0;
  for (unsigned i = 0; i < e.count && m_iStop == 0; ++i) {
    if (e.byteLength < 5) {
      ptr = e.value;
    } else {
      std::size_t at = 0;
      if (Locate(static_cast<long long>(e.value) + 4LL * i, 4, at) != 0) {
        m_iStop = 1;
        break;
      }
      ptr = Get32(at);
    }
    Raise(ptr);
    std::size_t at = 0;
    if (ptr <= 1 || Locate(ptr, 2, at) != 0) {
      m_iStop = 1;
      break;
    }
    const long long chain = m_llChain;
    const long long current = m_llCurrentIfd;
    const long long lastSub = m_llLastSubIfd;
    CheckIFD(ptr);
    m_llChain = chain;
    m_llCurrentIfd = current;
    m_llLastSubIfd = lastSub;
    if (e.byteLength < 5) break;
  }
  if (ptr > 1) {
    if (m_llChain <= 0) m_llChain = ptr;
    AddSecAndOffset2Map(ptr);
    m_llLastSubIfd = ptr;
  }
}

void Info::JpegOffsetTag(const tagIDFEntry& e) {
  if (e.value == 0xFFFFFFFFu) return;
  m_u64ThumbCandidate = e.value;
  bool beyond = false;
  if (IsJpegAt(e.value, beyond)) {
    m_uThumbIsJpeg = 1;
  } else if (beyond) {
    m_u64PendingThumb = e.value;
  }
}

void Info::JpegLengthTag(const tagIDFEntry& e) {
  if (e.value == 0xFFFFFFFFu) return;
  Raise(static_cast<long long>(m_u64ThumbCandidate) + e.value);
  if (m_uThumbIsJpeg != 0) {
    m_llThumbOffset = static_cast<long long>(m_u64ThumbCandidate);
    m_llThumbSize = e.value;
    m_uThumbIsJpeg = 0;
    m_u64PendingThumb = 0;
  } else if (m_u64PendingThumb != 0 && m_u64PendingThumb <= 0xFFFFFFFFu) {
    m_pendingJpeg[static_cast<unsigned>(m_u64PendingThumb)] = e.value;
    m_u64PendingThumb = 0;
  }
  m_iStripOrThumbKnown = 1;
}

void Info::CameraTag(const tagIDFEntry& e, unsigned number, std::size_t entryAt) {
  const long long extent = static_cast<long long>(e.value) + e.byteLength;
  switch (e.tag) {
    case tifftag::kPanasonicJpgFromRaw:
    case tifftag::kImageSourceData:
      Raise(extent);
      break;
    case tifftag::kImageWidth:
      m_llWidth = number;
      break;
    case tifftag::kImageLength:
      m_llHeight = number;
      break;
    case tifftag::kMake:
      Raise(extent);
      MakeTag(e, entryAt);
      break;
    case tifftag::kModel:
      Raise(extent);
      ModelTag(e, entryAt);
      break;
    case tifftag::kStripOffsets:
      StripOffsetsTag(e, number, entryAt);
      break;
    case tifftag::kStripByteCounts:
      StripByteCountsTag(e, number, entryAt);
      break;
    case tifftag::kDateTime:
      DateTimeTag(e, entryAt);
      break;
    case tifftag::kTileOffsets:
      Raise(extent);
      m_uTileOffsets = e.value;
      m_uTileCount = e.count;
      m_uTileOffsetsElement = e.elementSize;
      m_uTileOffsetsLength = e.byteLength;
      break;
    case tifftag::kTileByteCounts:
      Raise(extent);
      TileByteCountsTag(e, number);
      break;
    case tifftag::kSubIfds:
      Raise(extent);
      SubIfdsTag(e);
      break;
    case tifftag::kJpegOffset:
      JpegOffsetTag(e);
      break;
    case tifftag::kJpegLength:
      JpegLengthTag(e);
      break;
    case tifftag::kExifIfd:
    case tifftag::kMakerNote:
      if (e.tag == tifftag::kExifIfd) Raise(extent);
      if (m_llChain <= 0) m_llChain = e.value;
      AddSecAndOffset2Map(e.value);
      break;
    case tifftag::kDngVersion:
      m_iDng = 1;
      break;
    default:
      break;
  }
}

void Info::CheckIFD(long long position) {
  if (m_parsed.count(position) != 0) {
    m_llChain = 0;
    return;
  }
  if (++m_llIfdCount >= kMaxIfds + 1) {
    m_iStop = 1;
    m_llChain = 1;
    return;
  }
  m_parsed.insert(position);
  m_llCurrentIfd = position;
  m_llLastSubIfd = 0;
  m_iIfdValid = 0;
  std::size_t at = 0;
  if (Locate(position, 2, at) != 0) {
    m_iStop = 1;
    m_llChain = 1;
    return;
  }
  const unsigned n = Get16(at);
  if (n > kMaxEntries) {
    m_llChain = 0;
    return;
  }
  const std::size_t bytes = 2 + 12 * static_cast<std::size_t>(n) + 4;
  if (Locate(position, bytes, at) != 0) {
    // The directory runs past the sweep's bytes: the device reader takes it.
    m_iStop = 1;
    m_llChain = 1;
    return;
  }
  m_iIfdValid = 1;
  const long long ifdEnd = position + 2 + 12LL * n;
  Raise(ifdEnd);
  if (ifdEnd + 4 > m_llProven) m_llProven = ifdEnd + 4;
  for (unsigned i = 0; i < n; ++i) {
    const std::size_t ea = at + 2 + 12 * static_cast<std::size_t>(i);
    tagIDFEntry e;
    e.tag = static_cast<unsigned short>(Get16(ea));
    e.elementSize = GetSizeTypeWide(Get16(ea + 2));
    e.count = Get32(ea + 4);
    const unsigned long long length = static_cast<unsigned long long>(e.count) * e.elementSize;
    e.byteLength = length > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<unsigned>(length);
    unsigned number = 0;
    if (e.elementSize == 2) number = Get16(ea + 8);
    if (e.elementSize == 4) number = Get32(ea + 8);
    e.value = (e.elementSize == 2 && e.count == 1) ? number : Get32(ea + 8);
    if (e.byteLength >= 5) {
      Raise(static_cast<long long>(e.value) + e.byteLength);
      if (static_cast<long long>(e.value) + e.byteLength > m_llProven) m_llProven = e.value + 0LL + e.byteLength;
    }
    if (e.elementSize == 1 || e.elementSize == 2 || e.elementSize == 4) CameraTag(e, number, ea);
  }
  m_eType = TiffTypeFromMake(m_strMake, m_strModel, m_iDng != 0, m_iRw2 != 0, m_eType);
  if (m_llWidth > 0 && m_llHeight > 0 && m_llHeight >= 600 && m_llWidth >= 400) {
    m_llWidthHeight = m_llWidth * m_llHeight;
  }
  Raise(m_llTileEstimate);
  const unsigned link = Get32(at + 2 + 12 * static_cast<std::size_t>(n));
  if (link != 0) {
    m_llChain = link;
    AddSecAndOffset2Map(link);
  } else {
    m_llChain = m_llLastSubIfd >= m_llChain ? m_llLastSubIfd : 0;
  }
  if (m_iStop != 0) {
    m_llChain = 1;
  } else if (m_iIfdValid != 0) {
    Raise(m_llChain);
  }
}

void Info::AnalyzeSubIFD() {
  const long long here = m_llSector;
  for (int round = 0; round < kMaxPendingRounds && m_iStop == 0; ++round) {
    std::vector<unsigned> due;
    for (const auto& [offset, sector] : m_pendingIfds) {
      if (sector <= here) due.push_back(offset);
    }
    if (due.empty()) return;
    for (unsigned offset : due) {
      m_pendingIfds.erase(offset);
      std::size_t at = 0;
      if (m_parsed.count(offset) != 0) continue;
      if (Locate(offset, 2, at) != 0) {
        m_iStop = 1;  // passed before it could be read
        return;
      }
      CheckIFD(offset);
      if (m_iStop != 0) return;
    }
  }
}

void Info::AnalyzeJpeg() {
  const long long sectorStart = (m_llSector - m_llStartSector) * m_llSectorSize;
  for (auto it = m_pendingJpeg.begin(); it != m_pendingJpeg.end();) {
    if (static_cast<long long>(it->first) >= sectorStart + m_llSectorSize) break;
    bool beyond = false;
    if (IsJpegAt(it->first, beyond)) {
      m_llThumbOffset = it->first;
      m_llThumbSize = it->second;
    }
    it = m_pendingJpeg.erase(it);
  }
}

int Info::Finish(long long size) {
  char name[1024];
  if (!m_strMake.empty()) {
    std::snprintf(name, sizeof(name), "%s_%s_%lld-%lld_", m_strMake.c_str(), m_strModel.c_str(), m_llStartSector,
                  m_llSector);
  } else if (!m_strModel.empty()) {
    std::snprintf(name, sizeof(name), "%s_%lld-%lld_", m_strModel.c_str(), m_llStartSector, m_llSector);
  } else {
    std::snprintf(name, sizeof(name), "%lld-%lld_", m_llStartSector, m_llSector);
  }
  m_strName = name;
  m_llSize = size;
  m_pBytes = nullptr;
  return 1;
}

int Info::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) {
  if (sector == nullptr || sectorSize <= 0 || sectorNumber < m_llStartSector) return kSizeNeedMore;
  const StreamBytes bytes(sector, sectorSize, context);
  m_pBytes = &bytes;
  m_llSector = sectorNumber;
  const long long rel = sectorNumber - m_llStartSector;
  if (rel == 0) {
    m_llSectorSize = sectorSize;
    if (std::memcmp(sector, "IIU\0", 4) == 0) {
      m_eType = kRawTypeRawPanasonic;
      m_iRw2 = 1;
      return Finish(0);
    }
    if (std::memcmp(sector, kRafMagic, 16) == 0) return Finish(0);
    m_bHeaderSeen = true;
    m_bLittle = sector[0] == 'I' && sector[1] == 'I';
    std::size_t at = 0;
    if (Locate(4, 4, at) != 0) return Finish(0);
    const long long first = Get32(at);
    if (first < 8) return Finish(0);
    m_llChain = first;
    if (first >= m_llSectorSize) {
      m_llEnd = first;
      if (first > kFirstIfdLimit) return Finish(0);
      AddSecAndOffset2Map(first);
    } else {
      CheckIFD(first);
    }
  } else if (m_llSectorSize != sectorSize) {
    return Finish(0);
  } else if (m_llChain > 1 && rel == m_llChain / m_llSectorSize) {
    const long long first = m_llChain;
    CheckIFD(first);
    for (int k = 0; k < kMaxChainRepeats && m_llChain > 1 && rel == m_llChain / m_llSectorSize && m_iStop == 0; ++k) {
      CheckIFD(m_llChain);
      if (m_iIfdValid != 0) Raise(m_llChain);
    }
    if ((m_llChain != 0 && m_llChain < first) || m_iStop != 0) return Finish(0);
  }
  AnalyzeSubIFD();
  AnalyzeJpeg();
  if (m_iStop != 0) return Finish(0);

  if (m_llWidthHeight > m_llEnd && m_llWidthHeight < kAreaLimit && m_iStripOrThumbKnown == 0) {
    m_llEnd = m_llWidthHeight;
  }
  const long long b = (rel + 1) * m_llSectorSize;
  // A plain TIFF whose IFD chain has ended, with its strips known and
  // nothing left to read, ends where its structure ends.
  if (m_eType == kRawTypeTif && m_llChain == 0 && m_iIfdValid != 0 && m_iStripOrThumbKnown != 0 &&
      m_pendingIfds.empty() && m_pendingJpeg.empty() && m_llEnd > 8 && b >= m_llEnd) {
    return Finish(m_llEnd);
  }
  const int z = context.zeroTailBytes;
  const bool done = (z == 32 && b > m_llEnd) || (z < 16 && b >= m_llEnd && m_llEnd >= kFinishEnd);
  if (!done) {
    m_pBytes = nullptr;
    return kSizeNeedMore;
  }
  long long size = b;
  // Below 1 MiB the structure's end is the size, for plain TIFF as for raws.
  if (m_llEnd < kRoundedEnd) {
    const bool inside = m_llEnd > b - m_llSectorSize && m_llEnd <= b;
    // A file that ends on a sector boundary is followed by a zero sector.
    const bool justBefore = m_llEnd == b - m_llSectorSize && UsedBytes(sector, sectorSize) == 0;
    if (inside || justBefore) size = m_llEnd;
  }
  return Finish(size);
}

}  // namespace BruteForce
