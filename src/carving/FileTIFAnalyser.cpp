#include "carving/FileTIFAnalyser.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "carving/Exif.h"
#include "carving/FileNameFilter.h"
#include "carving/RawFileBuffer.h"
#include "carving/TiffTags.h"
#include "core/device/StorageDevice.h"
#include "core/util/ByteView.h"

namespace {

constexpr char kRafMagic[] = "FUJIFILMCCD-RAW ";
constexpr unsigned long long kRafBase = 160;
constexpr unsigned kMaxEntries = 512;

bool Contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

}  // namespace

bool IsTiffJpegStart(const unsigned char* p) {
  return p != nullptr && p[0] == 0xFF && p[1] == 0xD8 && p[2] == 0xFF && (p[3] == 0xE0 || p[3] == 0xE1 || p[3] == 0xDB);
}

RAW_FILE_TYPE TiffTypeFromMake(const std::string& make, const std::string& model, bool dng, bool rw2Header,
                               RAW_FILE_TYPE current) {
  if (dng) return kRawTypeDng;
  if (Contains(make, "NIKON")) return kRawTypeNef;
  if (Contains(make, "CANON")) return kRawTypeCr2;
  if (Contains(make, "SONY")) return Contains(model, "DSC-R1") ? kRawTypeSr2 : kRawTypeArw;
  if (Contains(make, "PANASONIC")) {
    return (!rw2Header || Contains(model, "DMC-")) ? kRawTypeRw2 : kRawTypeRawPanasonic;
  }
  if (Contains(make, "LEICA")) return rw2Header ? kRawTypeRawPanasonic : current;
  if (Contains(make, "KODAK")) return Contains(model, "DCS Pro SLR") ? kRawTypeDcr : kRawTypeKdc;
  if (Contains(make, "EPSON")) return kRawTypeErf;
  if (Contains(make, "HASSELBLAD")) return kRawType3fr;
  if (Contains(make, "MAMIYA")) return kRawTypeMef;
  if (Contains(make, "PENTAX")) return kRawTypePef;
  if (Contains(make, "SAMSUNG")) return kRawTypeSrw;
  if (Contains(make, "OLYMPUS")) return kRawTypeOrf;
  return current;
}

std::string TiffCameraText(const unsigned char* raw, std::size_t n, bool upper) {
  if (raw == nullptr) return {};
  if (n > 63) n = 63;
  std::string text;
  for (std::size_t i = 0; i < n && raw[i] != 0; ++i) {
    char c = static_cast<char>(raw[i]);
    if (upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    text.push_back(c);
  }
  text = ApiStrFilterBadFileName(text);
  if (HasInvalidCharInFileName(text)) return {};
  return text;
}

int FileTIFAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr) return 0;
  if (std::memcmp(sector, "FUJI", 4) == 0 && std::memcmp(sector, kRafMagic, 16) != 0) return 0;
  probe.m_eType = kRawTypeTif;
  return 1;
}

void FileTIFAnalyser::GetRawFileTagAndValue(RAW_FILE_TAG& tag, std::string& value) const {
  tag = m_eTag;
  value = m_strMake;
}

void FileTIFAnalyser::GetThumbStartAndSize(unsigned long long& start, unsigned long long& size) const {
  start = m_u64ThumbStart;
  size = m_u64ThumbSize;
}

void FileTIFAnalyser::InitTifAnalyser() {
  m_bBigEndian = false;
  m_u64JpegOffset = 0;
  m_bJpegOffsetKnown = false;
  m_u64End = 0;
  m_u64TileOffsetsLast = 0;
  m_uTileCount = 0;
  m_bTilesKnown = false;
  m_bRaf = false;
  m_u64RafEnd = 0;
  m_bNikon = m_bEpson = m_bA100 = false;
  m_u64A100SubIfd = 0;
  m_bDng = false;
  m_bIfdSeen = false;
  m_bRw2Header = false;
  m_strName.clear();
  m_strTime.clear();
  m_strMake.clear();
  m_strModel.clear();
  m_eTag = kRawTagCamera;
  m_u64ThumbStart = m_u64ThumbSize = 0;
  m_iSubIfdBudget = kMaxSubIfds;
}

bool FileTIFAnalyser::R16(unsigned long long off, unsigned& v) {
  unsigned char b[2];
  if (off > kMaxEnd || !m_pReader->Read(off, b, 2)) return false;
  v = m_bBigEndian ? (b[0] << 8 | b[1]) : (b[1] << 8 | b[0]);
  return true;
}

bool FileTIFAnalyser::R32(unsigned long long off, unsigned& v) {
  unsigned char b[4];
  if (off > kMaxEnd || !m_pReader->Read(off, b, 4)) return false;
  const ByteView view(b, 4);
  v = m_bBigEndian ? view.U32Be(0) : view.U32Le(0);
  return true;
}

bool FileTIFAnalyser::ReadEntries(unsigned long long off, unsigned n, unsigned long long base, Entry* out) {
  std::vector<unsigned char> raw(static_cast<std::size_t>(n) * 12);
  if (off > kMaxEnd || !m_pReader->Read(off, raw.data(), raw.size())) return false;
  const ByteView v(raw.data(), raw.size());
  for (unsigned i = 0; i < n; ++i) {
    const std::size_t p = static_cast<std::size_t>(i) * 12;
    Entry& e = out[i];
    e.tag = m_bBigEndian ? v.U16Be(p) : v.U16Le(p);
    const unsigned type = m_bBigEndian ? v.U16Be(p + 2) : v.U16Le(p + 2);
    e.elementSize = tifftag::ElementSize(type);
    e.count = m_bBigEndian ? v.U32Be(p + 4) : v.U32Le(p + 4);
    e.byteLength = static_cast<unsigned long long>(e.count) * e.elementSize;
    e.at = off + p;
    if (e.elementSize == 2 && e.count <= 2) {
      e.value = m_bBigEndian ? v.U16Be(p + 8) : v.U16Le(p + 8);
    } else {
      e.value = m_bBigEndian ? v.U32Be(p + 8) : v.U32Le(p + 8);
    }
    if (e.byteLength > 4) Raise(base + e.value + e.byteLength);
  }
  return true;
}

bool FileTIFAnalyser::LastElement(const Entry& e, unsigned long long base, unsigned long long& v) {
  if (e.count == 0 || (e.elementSize != 2 && e.elementSize != 4)) return false;
  if (e.count == 1) {
    v = e.value;
    return true;
  }
  if (e.byteLength <= 4) {  // two SHORTs held in the entry
    unsigned x = 0;
    if (!R16(e.at + 10, x)) return false;
    v = x;
    return true;
  }
  const unsigned long long at = base + e.value + static_cast<unsigned long long>(e.count - 1) * e.elementSize;
  unsigned x = 0;
  if (!(e.elementSize == 2 ? R16(at, x) : R32(at, x))) return false;
  v = x;
  return true;
}

bool FileTIFAnalyser::ReadText(const Entry& e, unsigned long long base, std::string& out) {
  unsigned char text[64] = {};
  const std::size_t n = e.count < 63 ? e.count : 63;
  if (n == 0) {
    out.clear();
    return true;
  }
  const unsigned long long at = e.byteLength <= 4 ? e.at + 8 : base + e.value;
  if (at > kMaxEnd || !m_pReader->Read(at, text, n)) return false;
  out.assign(reinterpret_cast<const char*>(text), n);
  return true;
}

void FileTIFAnalyser::Preview(unsigned long long offset, unsigned long long length) {
  if (length == 0) return;
  Raise(offset + length);
  unsigned char head[4];
  if (offset <= kMaxEnd && m_pReader->Read(offset, head, 4) && IsTiffJpegStart(head)) {
    m_u64ThumbStart = offset;
    m_u64ThumbSize = length;
  }
}

bool FileTIFAnalyser::PreviewOffset(const Entry& e, unsigned long long base, unsigned long long& offset) {
  unsigned long long v = 0;
  const bool known = e.tag == tifftag::kJpegOffset ? (v = e.value, true) : LastElement(e, base, v);
  offset = base + v;
  return known;
}

void FileTIFAnalyser::PreviewLength(const Entry& e, unsigned long long base, bool offsetKnown,
                                    unsigned long long offset) {
  unsigned long long len = 0;
  const bool ok = e.tag == tifftag::kJpegLength ? (len = e.value, true) : LastElement(e, base, len);
  if (ok && offsetKnown) Preview(offset, len);
}

void FileTIFAnalyser::GetSubIFDSize(unsigned long long offset, unsigned long long base, int depth) {
  if (m_iSubIfdBudget <= 0 || depth > kMaxSubIfds || offset > kMaxEnd) return;
  --m_iSubIfdBudget;
  unsigned n = 0;
  if (!R16(offset, n) || n == 0 || n > kMaxEntries) return;
  std::vector<Entry> entries(n);
  if (!ReadEntries(offset + 2, n, base, entries.data())) return;
  Raise(offset + 2 + 12ULL * n);
  unsigned long long jpegOffset = 0;
  bool offsetKnown = false;
  for (const Entry& e : entries) {
    switch (e.tag) {
      case tifftag::kStripOffsets:
      case tifftag::kJpegOffset:
        offsetKnown = PreviewOffset(e, base, jpegOffset);
        break;
      case tifftag::kStripByteCounts:
      case tifftag::kJpegLength:
        PreviewLength(e, base, offsetKnown, jpegOffset);
        break;
      case tifftag::kVendorBlock640:
      case tifftag::kIptcNaa:
        Raise(base + e.value + e.byteLength);
        break;
      case tifftag::kExifIfd:
        GetSubIFDSize(base + e.value, base, depth + 1);
        break;
      case tifftag::kDateTimeOriginal:
        if (m_strTime.empty()) {
          std::string t;
          if (ReadText(e, base, t))
            m_strTime = TiffCameraText(reinterpret_cast<const unsigned char*>(t.c_str()), t.size(), false);
        }
        break;
      case tifftag::kMakerNote:
        GetSubIFDSize(base + e.value, m_bNikon ? 18 : m_bEpson ? 8 : 0, depth + 1);
        break;
      case tifftag::kDngVersion:
        m_bDng = true;
        break;
      default:
        break;
    }
  }
}

int FileTIFAnalyser::MakeTag(const Entry& e, unsigned long long base) {
  std::string t;
  if (!ReadText(e, base, t)) return kTagUnreadable;
  std::string make = TiffCameraText(reinterpret_cast<const unsigned char*>(t.data()), t.size(), true);
  if (make.size() > 30) make.clear();
  if (!make.empty()) {
    m_strMake = make;
    m_eTag = kRawTagCamera;
    if (Contains(make, "EPSON")) m_bEpson = true;
  }
  return kTagRead;
}

int FileTIFAnalyser::ModelTag(const Entry& e, unsigned long long base) {
  std::string t;
  if (!ReadText(e, base, t)) return kTagUnreadable;
  std::string model = TiffCameraText(reinterpret_cast<const unsigned char*>(t.data()), t.size(), false);
  if (model.size() > 40) model.clear();
  m_strModel = model;
  if ((m_strMake == "NIKON" || m_strMake.rfind("NIKON", 0) == 0) && model.size() > 4) m_bNikon = true;
  if (model.rfind("DSLR-A100", 0) == 0) m_bA100 = true;
  if (!m_bRaf || model.empty()) return kTagRead;
  char name[1024];
  if (!m_strMake.empty()) {
    std::snprintf(name, sizeof(name), "%s_%s", m_strMake.c_str(), model.c_str());
  } else {
    std::snprintf(name, sizeof(name), "%s", model.c_str());
  }
  m_strName = name;
  return kTagRafNamed;
}

void FileTIFAnalyser::SubIfdsTag(const Entry& e, unsigned long long base) {
  if (m_bA100) {
    m_u64A100SubIfd = base + e.value;
    return;
  }
  const unsigned count = e.count < kMaxEntries ? e.count : kMaxEntries;
  for (unsigned i = 0; i < count; ++i) {
    unsigned ptr = e.value;
    if (e.byteLength > 4 && !R32(base + e.value + 4ULL * i, ptr)) break;
    GetSubIFDSize(base + ptr, base, 1);
    if (e.byteLength <= 4) break;
  }
}

void FileTIFAnalyser::IptcTag(const Entry& e, unsigned long long base) {
  if (Contains(m_strMake, "KODAK") && Contains(m_strModel, "DCS Pro SLR") && e.byteLength == 0) {
    unsigned len = 0;
    if (R32(base + e.value, len)) Raise(base + e.value + len);
  } else {
    Raise(base + e.value + e.byteLength);
  }
}

int FileTIFAnalyser::MainTag(const Entry& e, unsigned long long base) {
  switch (e.tag) {
    case tifftag::kMake:
      return MakeTag(e, base);
    case tifftag::kModel:
      return ModelTag(e, base);
    case tifftag::kStripOffsets:
    case tifftag::kJpegOffset:
      m_bJpegOffsetKnown = PreviewOffset(e, base, m_u64JpegOffset);
      break;
    case tifftag::kStripByteCounts:
    case tifftag::kJpegLength:
      PreviewLength(e, base, m_bJpegOffsetKnown, m_u64JpegOffset);
      break;
    case tifftag::kDateTime: {
      std::string t;
      if (!ReadText(e, base, t)) return 0;
      m_strTime = TiffCameraText(reinterpret_cast<const unsigned char*>(t.c_str()), t.size(), false);
      break;
    }
    case tifftag::kTileOffsets: {
      unsigned long long last = 0;
      m_bTilesKnown = LastElement(e, base, last);
      m_u64TileOffsetsLast = base + last;
      m_uTileCount = e.count;
      break;
    }
    case tifftag::kTileByteCounts: {
      unsigned long long last = 0;
      if (m_bTilesKnown && e.count == m_uTileCount && LastElement(e, base, last)) Raise(m_u64TileOffsetsLast + last);
      break;
    }
    case tifftag::kSubIfds:
      SubIfdsTag(e, base);
      break;
    case tifftag::kIptcNaa:
      IptcTag(e, base);
      break;
    case tifftag::kExifIfd:
      GetSubIFDSize(base + e.value, base, 1);
      break;
    case tifftag::kImageSourceData:
      Raise(base + e.value + e.byteLength);
      break;
    case tifftag::kPanasonicJpgFromRaw: {
      unsigned ifd = 0;
      if (R32(base + e.value + 16, ifd)) GetSubIFDSize(base + e.value + 12 + ifd, base + e.value + 12, 1);
      break;
    }
    case tifftag::kDngVersion:
      m_bDng = true;
      break;
    case tifftag::kDngPrivateData:
      if (m_bA100) {
        unsigned skip = 0;
        unsigned length = 0;
        if (R16(base + e.value + 4, skip) && R32(base + e.value + skip + 4, length)) Raise(m_u64A100SubIfd + length);
      }
      break;
    default:
      break;
  }
  return kTagRead;
}

void FileTIFAnalyser::ReadRafExif(RawFileBuffer& reader, unsigned long long jpegAt) {
  unsigned char lenBytes[2];
  if (!reader.Read(jpegAt + 4, lenBytes, 2)) return;
  const unsigned len = static_cast<unsigned>(lenBytes[0] << 8 | lenBytes[1]);
  std::vector<unsigned char> block(len > 2 ? len - 2 : 0);
  if (block.empty() || !reader.Read(jpegAt + 6, block.data(), block.size())) return;
  tag_ExifInfo exif{};
  SetExitInfo(&exif);
  if (EXIF_process_EXIF(block.data(), 0, block.data(), static_cast<unsigned>(block.size())) == 1) {
    GetExifInfo(&exif);
    exif.CameraMake[sizeof(exif.CameraMake) - 1] = 0;
    exif.CameraModel[sizeof(exif.CameraModel) - 1] = 0;
    exif.DateTime[sizeof(exif.DateTime) - 1] = 0;
    const auto* mk = reinterpret_cast<const unsigned char*>(exif.CameraMake);
    const auto* md = reinterpret_cast<const unsigned char*>(exif.CameraModel);
    m_strModel = TiffCameraText(md, std::strlen(exif.CameraModel), false);
    m_strMake = TiffCameraText(mk, std::strlen(exif.CameraMake), true);
    if (m_strMake.empty()) m_strMake = m_strModel;
    m_strTime =
        TiffCameraText(reinterpret_cast<const unsigned char*>(exif.DateTime), std::strlen(exif.DateTime), false);
  }
  SetExitInfo(nullptr);
}

bool FileTIFAnalyser::ReadRafHeader(CRawFileInfo& info, RawFileBuffer& reader, unsigned char* head,
                                    unsigned long long& base, long long& size) {
  size = 0;
  info.m_eType = kRawTypeRaf;
  m_bRaf = true;
  unsigned char raf[kRafBase + 8];
  if (!reader.Read(0, raf, sizeof(raf))) return false;
  const ByteView r(raf, sizeof(raf));
  const unsigned long long j = r.U32Be(84);
  const unsigned long long l = r.U32Be(88);
  if (j > kMaxEnd || l > kMaxEnd) return false;
  ReadRafExif(reader, j);
  unsigned long long end = j + l;
  const unsigned long long cfaHeader = static_cast<unsigned long long>(r.U32Be(92)) + r.U32Be(96);
  const unsigned long long cfa = static_cast<unsigned long long>(r.U32Be(100)) + r.U32Be(104);
  if (cfaHeader > end) end = cfaHeader;
  if (cfa > end) end = cfa;
  end += r.U32Be(132);
  m_u64RafEnd = end;
  m_u64End = end;
  base = kRafBase;
  const bool tiff =
      reader.Read(base, head, 8) && (std::memcmp(head, "II*\0", 4) == 0 || std::memcmp(head, "MM\0*", 4) == 0);
  if (!tiff) {
    // No directory to walk: the EXIF names it, the header sizes it.
    m_strName = !m_strMake.empty() && !m_strModel.empty() && m_strMake != m_strModel ? m_strMake + "_" + m_strModel
                                                                                     : m_strModel;
    info.SetRawFileName(m_strName);
    info.m_strTime = m_strTime;
    if (!m_strMake.empty()) info.SetRawFileTagAndValue(kRawTagCamera, m_strMake);
    size = static_cast<long long>(m_u64RafEnd);
    return false;
  }
  return true;
}

void FileTIFAnalyser::NameAndLabel(CRawFileInfo& info) {
  const RAW_FILE_TYPE fallback = m_bRaf ? kRawTypeRaf : kRawTypeTif;
  info.m_eType = TiffTypeFromMake(m_strMake, m_strModel, m_bDng, m_bRw2Header, fallback);
  if (!m_strMake.empty() && !m_strModel.empty()) {
    m_strName = m_strMake + "_" + m_strModel;
  } else {
    m_strName = m_strModel.empty() ? m_strMake : m_strModel;
  }
  info.SetRawFileName(m_strName);
  info.m_strTime = m_strTime;
  if (!m_strMake.empty()) {
    m_eTag = kRawTagCamera;
    info.SetRawFileTagAndValue(kRawTagCamera, m_strMake);
  } else {
    m_eTag = kRawTagNone;
  }
}

long long FileTIFAnalyser::SizeToZeroTail(RawFileBuffer& reader, unsigned long long size) {
  // Small files: on to the first sector that ends in 16 zero bytes.
  const unsigned long long ss = reader.SectorSize();
  std::vector<unsigned char> sector(ss);
  for (unsigned long long s = size / ss - 1; s * ss < kExtendLimit; ++s) {
    if (!reader.Read(s * ss, sector.data(), ss)) return static_cast<long long>(s * ss > size ? s * ss : size);
    bool zero = true;
    for (unsigned long long k = ss - 16; k < ss; ++k) zero = zero && sector[k] == 0;
    if (zero) return static_cast<long long>(s * ss > size ? s * ss : size);
  }
  return static_cast<long long>(kExtendLimit);
}

long long FileTIFAnalyser::GetTiffSize(CRawFileInfo& info, IStorageDevice* device) {
  RawFileBuffer reader(device, static_cast<unsigned long long>(info.m_llStartSector));
  m_pReader = &reader;
  const unsigned long long ss = reader.SectorSize();
  unsigned char head[16];
  if (!reader.Read(0, head, sizeof(head))) return 0;
  unsigned long long base = 0;
  if (std::memcmp(head, kRafMagic, 16) == 0) {
    long long rafSize = 0;
    if (!ReadRafHeader(info, reader, head, base, rafSize)) return rafSize;
  }
  m_bBigEndian = head[0] == 0x4D && head[1] == 0x4D && head[2] == 0x00 && head[3] == 0x2A;
  if (std::memcmp(head, "IIU\0", 4) == 0) {
    m_bRw2Header = true;
    info.m_eType = kRawTypeRawPanasonic;
  }
  unsigned first = 0;
  {
    const ByteView h(head, 8);
    first = m_bBigEndian ? h.U32Be(4) : h.U32Le(4);
  }
  if (first < 8) return 0;
  unsigned long long running = 0;
  unsigned long long off = base + first;
  for (int ifds = 0; ifds < kMaxIfds && off <= kMaxEnd && running <= kMaxEnd; ++ifds) {
    unsigned n = 0;
    if (!R16(off, n) || n == 0 || n > kMaxEntries) break;
    std::vector<Entry> entries(n);
    if (!ReadEntries(off + 2, n, base, entries.data())) return 0;
    m_bIfdSeen = true;
    for (const Entry& e : entries) {
      const int r = MainTag(e, base);
      if (r == kTagUnreadable) return 0;
      if (r == kTagRafNamed) {
        info.SetRawFileName(m_strName);
        info.m_strTime = m_strTime;
        info.m_eType = kRawTypeRaf;
        if (!m_strMake.empty()) info.SetRawFileTagAndValue(kRawTagCamera, m_strMake);
        return static_cast<long long>(m_u64RafEnd);
      }
    }
    unsigned link = 0;
    const unsigned long long entriesEnd = off + 2 + 12ULL * n;
    if (!R32(entriesEnd, link)) link = 0;
    if (entriesEnd + 4 > running) running = entriesEnd + 4;
    if (link != 0 && base + link > running) running = base + link;
    if (link == 0 || base + link <= off) break;
    off = base + link;
  }
  if (running > m_u64End) m_u64End = running;
  NameAndLabel(info);
  // Without one readable directory nothing proves a file; an end past the
  // limit is no end.
  if ((!m_bIfdSeen && !m_bRaf) || m_u64End > kMaxEnd || m_u64End == 0) return 0;
  unsigned long long size = (m_u64End + ss - 1) / ss * ss;
  if (size > 0xFFFFF) return static_cast<long long>(size);
  return SizeToZeroTail(reader, size);
}

bool FileTIFAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
  if (device == nullptr) return false;
  InitTifAnalyser();
  info.m_strName.clear();
  info.m_strTime.clear();
  try {
    info.m_llSize = GetTiffSize(info, device);
  } catch (...) {
    m_pReader = nullptr;
    info.m_llSize = 0;
    return false;
  }
  m_pReader = nullptr;
  return true;
}
