#include "carving/MP3Analyzer.h"

#include <cstdio>
#include <cstring>

#include "carving/FileNameFilter.h"
#include "carving/MpaHeader.h"
#include "carving/Mp3TagText.h"
#include "carving/StreamBytes.h"
#include "core/util/ByteView.h"

namespace BruteForce {

long long MP3Analyzer::MP3RawFileInfo::m_lastStartSector = 0;

namespace {

constexpr int kMaxFramesPerSector = 1024;
constexpr int kMaxTagFrames = 4096;

bool IsId3(const unsigned char* p) { return std::memcmp(p, "ID3", 3) == 0 && (p[3] == 3 || p[3] == 4); }

// The offset past an ID3v2 tag (and its footer) at the start of `p`; 0 when
// there is no such tag.
long long Id3v2End(const unsigned char* p) {
  if (!IsId3(p)) return 0;
  long long size = 0;
  for (int k = 6; k < 10; ++k) {
    if ((p[k] & 0x80) != 0) return 0;
    size = size << 7 | p[k];
  }
  return 10 + size + ((p[5] & 0x10) != 0 ? 10 : 0);
}

}  // namespace

// A new registry (a new search) starts with no open frame-started stream.
MP3Analyzer::MP3Analyzer() : IRawFileAnalyser(kType), m_pReader(std::make_unique<FileMP3Analyser>()) {
  MP3RawFileInfo::m_lastStartSector = 0;
}
MP3Analyzer::~MP3Analyzer() = default;

int MP3Analyzer::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr) return 0;
  if (IsId3(sector)) {
    probe.m_eType = kType;
    return 1;
  }
  return PlausibleFrameSize(MpaFrameAt(ByteView(sector, 4), 0)) ? 1 : 0;
}

int MP3Analyzer::AnalyseBufferEx(unsigned char* sector, CRawFileInfo& probe, long long sectorSize,
                                 long long sectorNumber, long long, long long blockEndSector) {
  if (sector == nullptr || sectorSize <= 0 || blockEndSector <= sectorNumber) return 0;
  if (IsId3(sector)) {
    probe.m_eType = kType;
    return 1;
  }
  const ByteView v(sector, static_cast<std::size_t>((blockEndSector - sectorNumber) * sectorSize));
  const unsigned f = MpaFrameAt(v, 0);
  if (f == 0 || MP3RawFileInfo::m_lastStartSector != 0 || !PlausibleFrameSize(f)) return 0;
  const long long limit = sectorSize * blockEndSector;
  const long long e = sectorSize * (sectorNumber + 1) + f + 4;
  if (e > limit) {
    probe.m_eType = kType;
    return 1;
  }
  const unsigned g = MpaFrameAt(v, f);
  if (!PlausibleFrameSize(g)) return 0;
  if (e + g > limit) {
    probe.m_eType = kType;
    return 1;
  }
  if (MpaFrameAt(v, static_cast<std::size_t>(f) + g) == 0) return 0;
  MP3RawFileInfo::m_lastStartSector = sectorNumber;
  probe.m_eType = kType;
  return 1;
}

MP3Analyzer::MP3RawFileInfo::~MP3RawFileInfo() {
  if (m_bOwnsLastStart && m_lastStartSector == m_llStartSector) m_lastStartSector = 0;
}

int MP3Analyzer::MP3RawFileInfo::Done(long long size) {
  if (m_iFrameMode != 0 && m_lastStartSector == m_llStartSector) m_lastStartSector = 0;
  m_bOwnsLastStart = false;
  m_llSize = size;
  return 1;
}

void MP3Analyzer::MP3RawFileInfo::WillBeRemove(unsigned char*, long long) {
  if (m_iFrameMode != 0 && m_lastStartSector == m_llStartSector) m_lastStartSector = 0;
  m_bOwnsLastStart = false;
  if (auto* owner = dynamic_cast<MP3Analyzer*>(m_pAnalyser)) m_pAnalyser = owner->Reader();
}

void MP3Analyzer::MP3RawFileInfo::GatherTagInfo(const StreamBytes& bytes) {
  const ByteView& v = bytes.View();
  std::size_t at = 0;
  if (!bytes.Locate(0, 10, at) || !v.Equals(at, "ID3", 3)) return;
  unsigned char head[10];
  v.Bytes(at, head, 10);
  if (head[3] != 3 && head[3] != 4) return;
  unsigned tagSize = 0;
  if (!GetSynchsafeInteger(head + 6, tagSize) || tagSize < 1 || tagSize > 0x40000000) return;
  const std::size_t available = v.Size() - at;
  std::string artist;
  std::string title;
  std::size_t walked = 0;
  std::size_t p = at + 10;
  for (int n = 0; n < kMaxTagFrames && walked < tagSize && v.Has(p, 10); ++n) {
    const unsigned size = v.U32Be(p + 4);
    if (size < 1 || size > 0x40000000) break;
    const std::size_t contentAt = p + 10;
    const std::size_t have = v.Has(contentAt, 0) ? std::min<std::size_t>(size, v.Size() - contentAt) : 0;
    const unsigned char* content = v.Data() + contentAt;
    if (v.Equals(p, "TPE1", 4) || v.Equals(p, "TIT2", 4) || v.Equals(p, "TYER", 4)) {
      if (have == size) {
        if (v.Equals(p, "TIT2", 4) && have > 1) {
          m_strTitleCharset = Mp3TagText::Detect(
              std::string(reinterpret_cast<const char*>(content + 1), std::min<std::size_t>(have - 1, 255)));
        }
        const std::string text = Mp3TagText::GetTagValue(content, have, m_strTitleCharset, true);
        if (v.Equals(p, "TPE1", 4)) {
          artist = text;
        } else if (v.Equals(p, "TIT2", 4)) {
          title = text;
        } else if (text.size() >= 8) {
          m_strTime = text;
        }
      }
    } else if (v.Equals(p, "APIC", 4)) {
      long long offset = static_cast<long long>(walked) + 63;
      for (std::size_t k = at; k + 3 <= v.Size(); ++k) {
        if (v.U8(k) == 0xFF && v.U8(k + 1) == 0xD8 && v.U8(k + 2) == 0xFF) {
          offset = static_cast<long long>(k - at);
          break;
        }
      }
      m_llPictureOffset = offset;
      m_llPictureSize = size;
      m_uMinSize += static_cast<unsigned>(offset) + size;
    } else if (v.Equals(p, "USLT", 4) && have == size) {
      const std::string text(reinterpret_cast<const char*>(content), have);
      const std::size_t a = text.find("[ar:");
      const std::size_t b = a == std::string::npos ? a : text.find(']', a + 4);
      if (b != std::string::npos && b - a - 4 < 1024) {
        artist = text.substr(a + 4, b - a - 4);
        std::string label = artist;
        SetRawFileTagAndValue(kRawTagArtists, label);
      }
    }
    walked += 10 + static_cast<std::size_t>(size);
    if (walked >= available) break;
    p = at + 10 + walked;
  }
  m_uMinSize += tagSize;
  if (!artist.empty() || !title.empty()) {
    char name[1200];
    std::snprintf(name, sizeof(name), "%s_%s %lld_", artist.c_str(), title.c_str(), m_llStartSector);
    SetRawFileName(name);
    std::string label = !artist.empty() ? artist : title;
    SetRawFileTagAndValue(kRawTagArtists, label);
  }
}

int MP3Analyzer::MP3RawFileInfo::HealthTest(const StreamBytes& bytes) const {
  const ByteView& v = bytes.View();
  std::size_t at = 0;
  if (!bytes.Locate(0, 4, at)) return 1;
  unsigned char h[4];
  v.Bytes(at, h, 4);
  if (IsId3(h)) return 2;
  if (h[0] != 0xFF || h[1] < 0xE0 || h[2] >= 0xF0) return 1;
  CMPAHeader header;
  if (!header.Init(h)) return 1;
  if (header.m_uVersion == 0) return 2;
  const unsigned f = header.CalcFrameSize();
  if (f < 1 || f >= CMPAHeader::kMaxFrameSize || static_cast<long long>(f) > bytes.After()) return 1;
  std::size_t next = 0;
  if (!bytes.Locate(f, 4, next)) return 1;
  unsigned char g[4];
  v.Bytes(next, g, 4);
  CMPAHeader second;
  if (g[1] >= 0xE0 && g[2] < 0xF0 && second.Init(g) && second.m_uVersion != 0) return 2;
  return 1;
}

bool MP3Analyzer::MP3RawFileInfo::FindTagInEndSector(const StreamBytes& bytes, int used, long long& tagEnd) {
  const ByteView& v = bytes.View();
  for (long long t = used - 3; t >= used - 128 && t >= -bytes.Before(); --t) {
    std::size_t at = 0;
    if (!bytes.Locate(t, 128, at) || !v.Equals(at, "TAG", 3)) continue;
    tagEnd = t + 128;
    const std::string titleRaw(reinterpret_cast<const char*>(v.Data() + at + 3), 30);
    std::string title = titleRaw.substr(0, titleRaw.find("  "));
    std::string artist(reinterpret_cast<const char*>(v.Data() + at + 33), 30);
    title = title.substr(0, title.find('\0'));
    artist = artist.substr(0, artist.find('\0'));
    while (!artist.empty() && artist.back() == ' ') artist.pop_back();
    if (artist.size() > 3) {
      title =
          Mp3TagText::Id3v1Field(reinterpret_cast<const unsigned char*>(title.data()), title.size(), m_strTitleCharset);
      artist = Mp3TagText::Id3v1Field(reinterpret_cast<const unsigned char*>(artist.data()), artist.size(),
                                      m_strTitleCharset);
      if (m_strName.empty()) {
        char name[1200];
        std::snprintf(name, sizeof(name), "%s_%s %lld-%lld_", artist.c_str(), title.c_str(), m_llStartSector,
                      m_llLastSector);
        SetRawFileName(name);
      }
      SetRawFileTagAndValue(kRawTagArtists, artist);
    }
    return true;
  }
  return false;
}

bool MP3Analyzer::MP3RawFileInfo::FindDuplicateByteCount(const StreamBytes& bytes, const unsigned char* sector,
                                                         int used, const SearchContext& context) {
  m_histogram.assign(256, 0);
  const ByteView& v = bytes.View();
  long long from = 0;
  if (sector[0] != 0 && sector[0] == sector[1] && sector[1] == sector[2] && sector[2] == sector[3] &&
      context.previousBlockStartSector < m_llLastSector) {
    from = -64;
  }
  for (long long k = used - 1; k >= from; --k) {
    std::size_t at = 0;
    if (!bytes.Locate(k, 1, at)) break;
    const unsigned char c = v.U8(at);
    if (c == 0) continue;
    if (++m_histogram[c] >= 65) return true;
  }
  return false;
}

int MP3Analyzer::MP3RawFileInfo::CalcRawSizeEx(const StreamBytes& bytes, int sectorSize, long long sectorNumber) {
  const ByteView& v = bytes.View();
  const long long pos = (sectorNumber - m_llStartSector) * sectorSize;
  bool invalid = false;
  for (int n = 0; n < kMaxFramesPerSector; ++n) {
    const long long rel = m_llWalkEnd - pos;
    if (rel >= sectorSize) return kSizeNeedMore;
    std::size_t at = 0;
    if (!bytes.Locate(rel, 4, at)) {
      if (rel >= 0) {
        m_iStraddle = 1;
        return kSizeNeedMore;
      }
      invalid = true;
      break;
    }
    m_iStraddle = 0;
    const unsigned f = MpaFrameAt(v, at);
    if (f == 0 && m_iFrameMode == 2 && m_llWalkEnd == m_llTagEnd) {
      m_iFrameMode = 0;  // no frame right after the tag: the zero-tail rule sizes it
      return kSizeNeedMore;
    }
    if (f == 0) {
      invalid = true;
      break;
    }
    m_llWalkEnd += f;
  }
  if (!invalid) return kSizeNeedMore;
  const long long rel = m_llWalkEnd - pos;
  std::size_t at = 0;
  if (bytes.Locate(rel, 3, at) && v.Equals(at, "TAG", 3)) {
    m_llWalkEnd += 128;
    std::size_t tag = 0;
    if (bytes.Locate(rel, 128, tag)) {
      std::string title = Mp3TagText::Id3v1Field(v.Data() + tag + 3, 30, m_strTitleCharset);
      std::string artist = Mp3TagText::Id3v1Field(v.Data() + tag + 33, 30, m_strTitleCharset);
      if (!Mp3TagText::IsUtf8(title)) title = Mp3TagText::ReplaceHigh(title);
      if (!Mp3TagText::IsUtf8(artist)) artist = Mp3TagText::ReplaceHigh(artist);
      title = ApiStrFilterBadFileName(title);
      artist = ApiStrFilterBadFileName(artist);
      if (!artist.empty()) SetRawFileTagAndValue(kRawTagArtists, artist);
      // A name from the ID3v2 tag at the start stays.
      if ((!artist.empty() || !title.empty()) && m_strName.empty()) SetRawFileName(artist + "_" + title);
    }
  } else if (bytes.Locate(rel, 9, at) && v.Equals(at, "APETAGEX", 8) && v.U8(at + 8) == 0xD0) {
    m_llWalkEnd += 260;
  } else {
    for (long long k = 1; k <= 126; ++k) {
      if (bytes.Locate(rel + k, 3, at) && v.Equals(at, "TAG", 3)) {
        m_llWalkEnd = m_llWalkEnd + k + 128;
        break;
      }
    }
  }
  if (m_llWalkEnd < 10240) return Done(0);
  long long size = m_llWalkEnd;
  if (pos >= 10 * m_llCap) size = m_llCap;
  if (m_strName.empty()) {
    char name[64];
    std::snprintf(name, sizeof(name), "%lld-%lld_", m_llStartSector, sectorNumber);
    m_strName = name;
  }
  m_eType = kType;
  return Done(size);
}

int MP3Analyzer::MP3RawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                                             SearchContext& context) {
  if (sector == nullptr || sectorSize <= 0 || sectorNumber < m_llStartSector) return kSizeNeedMore;
  try {
    const StreamBytes bytes(sector, sectorSize, context);
    if (sectorNumber == m_llStartSector) {
      m_iFrameMode = MpaFrameAt(ByteView(sector, 4), 0) != 0 ? 1 : 0;
      m_bOwnsLastStart = m_iFrameMode != 0 && m_lastStartSector == m_llStartSector;
      GatherTagInfo(bytes);
      if (m_strName.empty() && HealthTest(bytes) == 1) return Done(0);
      // Behind an ID3v2 tag the frames themselves tell where the sound ends.
      m_llTagEnd = Id3v2End(sector);
      if (m_iFrameMode == 0 && m_llTagEnd > 0) {
        m_iFrameMode = 2;
        m_llWalkEnd = m_llTagEnd;
      }
    }
    m_llBytes = (sectorNumber - m_llStartSector + 1) * sectorSize;
    int result = 2;
    if (m_iFrameMode != 0) {
      result = CalcRawSizeEx(bytes, sectorSize, sectorNumber);
    } else if (sectorNumber != m_llStartSector) {
      if (m_llBytes >= kId3Cap) return Done(0);
      const long long before = m_llBytes - sectorSize;
      if (context.zeroTailBytes < 32 || before <= static_cast<long long>(m_uMinSize)) {
        m_llLastSector = sectorNumber;
        return kSizeNeedMore;
      }
      const int used = UsedBytes(sector, sectorSize);
      long long tagEnd = -1;
      const bool tag = FindTagInEndSector(bytes, used, tagEnd);
      const bool end = tag || FindDuplicateByteCount(bytes, sector, used, context);
      m_llLastSector = sectorNumber;
      if (!end) return kSizeNeedMore;
      std::string tagKind;
      RAW_FILE_TAG kind = kRawTagNone;
      GetRawFileTagAndValue(kind, tagKind);
      if (!m_strName.empty() && !tagKind.empty() && m_strName.find(tagKind) == std::string::npos) {
        m_strName = tagKind + "_" + m_strName;
      } else if (m_strName.empty()) {
        char name[64];
        std::snprintf(name, sizeof(name), "%lld-%lld_", m_llStartSector, sectorNumber);
        m_strName = name;
      }
      const long long pos = (sectorNumber - m_llStartSector) * sectorSize;
      return Done(tag && tagEnd > 0 ? pos + tagEnd : pos + used);
    }
    m_llLastSector = sectorNumber;
    return result;
  } catch (...) {
    return Done(0);
  }
}

}  // namespace BruteForce
