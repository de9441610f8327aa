#include "carving/FileMP3Analyser.h"

#include <cstring>
#include <vector>

#include "carving/FileNameFilter.h"
#include "carving/MpaHeader.h"
#include "carving/Mp3TagText.h"
#include "carving/RawFileBuffer.h"
#include "core/util/Assert.h"
#include "core/util/ByteView.h"

long long FileMP3Analyser::s_rememberedStart = 0;
long long FileMP3Analyser::s_rememberedSectors = 0;
bool FileMP3Analyser::s_destroyed = false;

namespace {

constexpr unsigned long long kFrameWalkCap = 0x82000000ULL;
constexpr unsigned long long kId3WalkCap = 0x104000000ULL;
constexpr int kResync = 4095;

// The frame size of a valid header at `at`, 0 when there is none.
unsigned FrameAt(RawFileBuffer& buffer, unsigned long long at) {
  unsigned char h[4];
  if (!buffer.Read(at, h, 4)) return 0;
  return MpaFrameAt(ByteView(h, 4), 0);
}

bool ReadIs(RawFileBuffer& buffer, unsigned long long at, const char* text) {
  const std::size_t n = std::strlen(text);
  unsigned char b[16];
  return n <= sizeof(b) && buffer.Read(at, b, n) && std::memcmp(b, text, n) == 0;
}

}  // namespace

FileMP3Analyser::~FileMP3Analyser() { s_destroyed = true; }

void FileMP3Analyser::ResetRemembered() {
  s_rememberedStart = 0;
  s_rememberedSectors = 0;
  s_destroyed = false;
}

void FileMP3Analyser::GetRawFileTagAndValue(RAW_FILE_TAG& tag, std::string& value) {
  tag = kRawTagArtists;
  value = m_strArtist;
}

int FileMP3Analyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  QV_ASSERT(sector != nullptr);
  const bool id3 = std::memcmp(sector, "ID3", 3) == 0 && (sector[3] == 3 || sector[3] == 4);
  if (!id3 && MpaFrameAt(ByteView(sector, 4), 0) == 0) return 0;
  probe.m_eType = kRawTypeMp3;
  return 1;
}

void FileMP3Analyser::NameFromId3v1(CRawFileInfo& info, RawFileBuffer& buffer, unsigned long long at) {
  unsigned char tag[128];
  if (!buffer.Read(at, tag, sizeof(tag))) return;
  const std::string title = Mp3TagText::Id3v1Field(tag + 3, 30, {});
  const std::string artist = Mp3TagText::Id3v1Field(tag + 33, 30, Mp3TagText::Detect(title));
  if (m_strTitle.empty()) m_strTitle = title;
  if (m_strArtist.empty()) m_strArtist = artist;
  if (m_strYear.empty())
    m_strYear =
        std::string(reinterpret_cast<const char*>(tag + 93), strnlen(reinterpret_cast<const char*>(tag + 93), 4));
  if (title.empty() && artist.empty()) return;
  info.SetRawFileName(artist + "_" + title);
  std::string label = artist;
  if (!label.empty()) info.SetRawFileTagAndValue(kRawTagArtists, label);
}

bool FileMP3Analyser::GetRawFileSizeXING(CRawFileInfo& info, RawFileBuffer& buffer) {
  unsigned char b[4];
  if (!buffer.Read(48, b, 4)) return false;
  const unsigned long long length = ByteView(b, 4).U32Be(0);
  if (length == 0) return false;
  if (ReadIs(buffer, length, "TAG")) {
    NameFromId3v1(info, buffer, length);
    info.m_llSize = static_cast<long long>(length + 128);
  } else {
    info.m_llSize = static_cast<long long>(length);
  }
  return true;
}

bool FileMP3Analyser::GetRawFileSizeFromFrame(CRawFileInfo& info, RawFileBuffer& buffer) {
  if (s_destroyed) ResetRemembered();
  const unsigned first = FrameAt(buffer, 0);
  if (!PlausibleFrameSize(first) || FrameAt(buffer, first) == 0) return false;
  const long long start = info.m_llStartSector;
  if (s_rememberedSectors != 0 && start > s_rememberedStart && start < s_rememberedStart + s_rememberedSectors) {
    return false;
  }
  unsigned long long pos = 0;
  while (pos < kFrameWalkCap) {
    const unsigned size = FrameAt(buffer, pos);
    if (size == 0) break;
    pos += size;
  }
  if (ReadIs(buffer, pos, "TAG")) {
    NameFromId3v1(info, buffer, pos);
    pos += 128;
  } else if (ReadIs(buffer, pos, "APETAGEX")) {
    unsigned char d0 = 0;
    if (buffer.Read(pos + 8, &d0, 1) && d0 == 0xD0) pos += 260;
  } else {
    for (unsigned long long k = 1; k <= 128; ++k) {
      if (ReadIs(buffer, pos + k, "TAG")) {
        pos += k + 128;
        break;
      }
    }
  }
  if (pos < static_cast<unsigned long long>(kMinStream)) return false;
  const long long ss = buffer.SectorSize();
  const long long sectors = (static_cast<long long>(pos) + ss - 1) / ss;
  const long long endSector = start + sectors;
  if (s_rememberedSectors != 0 && endSector >= s_rememberedStart &&
      endSector <= s_rememberedStart + s_rememberedSectors) {
    return false;
  }
  s_rememberedStart = start;
  s_rememberedSectors = sectors;
  info.m_llSize = static_cast<long long>(pos);
  return true;
}

void FileMP3Analyser::ReadId3TextFrames(RawFileBuffer& buffer, unsigned tagSize) {
  unsigned long long at = 10;
  const unsigned long long end = 10ULL + tagSize;
  for (int n = 0; n < 4096 && at + 10 <= end; ++n) {
    unsigned char fh[10];
    if (!buffer.Read(at, fh, sizeof(fh))) break;
    const unsigned size = ByteView(fh, 10).U32Be(4);
    if (size < 1 || size > 0x40000000 || at + 10 + size > end) break;
    const bool tpe1 = std::memcmp(fh, "TPE1", 4) == 0;
    const bool tit2 = std::memcmp(fh, "TIT2", 4) == 0;
    const bool tyer = std::memcmp(fh, "TYER", 4) == 0;
    if (tpe1 || tit2 || tyer) {
      const std::size_t n2 = size < 4096 ? size : 4096;
      std::vector<unsigned char> content(n2);
      if (buffer.Read(at + 10, content.data(), n2)) {
        const std::string charset =
            tit2 ? Mp3TagText::Detect(std::string(content.begin() + 1, content.end())) : std::string();
        const std::string text = Mp3TagText::GetTagValue(content.data(), n2, charset, false);
        if (tpe1) m_strArtist = text;
        if (tit2) m_strTitle = text;
        if (tyer) m_strYear = text;
      }
    }
    at += 10ULL + size;
  }
}

bool FileMP3Analyser::Id3v1ClosesStream(RawFileBuffer& buffer, unsigned long long pos) {
  const unsigned long long ss = buffer.SectorSize();
  const unsigned long long end = pos + 128;
  bool closes = end % ss == 0;
  if (!closes) {
    closes = true;
    const unsigned long long sectorEnd = (end / ss + 1) * ss;
    for (unsigned long long k = end; k < sectorEnd && closes; ++k) {
      unsigned char c = 1;
      closes = buffer.Read(k, &c, 1) && c == 0;
    }
  }
  // A tag not followed by a frame also ends the stream (else it is lost).
  return closes || FrameAt(buffer, end) == 0;
}

bool FileMP3Analyser::ApeTagEnd(RawFileBuffer& buffer, unsigned long long& pos) {
  const unsigned long long ss = buffer.SectorSize();
  unsigned long long sector = pos / ss;
  for (unsigned long long scanned = 0; scanned < 102400; scanned += ss, ++sector) {
    std::vector<unsigned char> s(ss);
    if (!buffer.Read(sector * ss, s.data(), ss)) return false;
    const ByteView v(s.data(), s.size());
    if (v.U32Le(ss - 4) != 0 && scanned + ss < 102400) continue;
    if (v.U32Le(ss - 4) != 0) return false;
    if (v.U32Le(ss - 8) == 0 && v.U32Le(ss - 12) == 0) {
      pos = (sector + 1) * ss;
      return true;
    }
    for (std::size_t k = 0; k + 4 <= ss; ++k) {
      if (s[k] == 0 && std::memcmp(&s[k + 1], "TAG", 3) == 0) {
        pos = sector * ss + k + 129;
        return true;
      }
    }
    return false;
  }
  return false;
}

bool FileMP3Analyser::GetRawFileSizeFromId3(CRawFileInfo& info, RawFileBuffer& buffer) {
  unsigned char head[10];
  unsigned tagSize = 0;
  if (!buffer.Read(0, head, sizeof(head)) || !GetSynchsafeInteger(head + 6, tagSize)) return false;
  ReadId3TextFrames(buffer, tagSize);
  const unsigned long long begin = 10ULL + tagSize;
  unsigned long long pos = begin;
  const unsigned long long ss = buffer.SectorSize();
  int skippedRun = 0;
  unsigned long long last[2] = {0, 0};  // gap + size of the last two skipped-to frames
  while (pos <= kId3WalkCap) {
    const unsigned size = FrameAt(buffer, pos);
    if (size != 0) {
      pos += size;
      skippedRun = 0;
      continue;
    }
    if (skippedRun >= 2) {
      pos -= last[0] + last[1];
      break;
    }
    if (pos % ss == 0 && ReadIs(buffer, pos, "ID3")) {
      unsigned char h[10];
      unsigned s = 0;
      if (buffer.Read(pos, h, 10) && (h[3] == 3 || h[3] == 4) && GetSynchsafeInteger(h + 6, s)) break;
    }
    if (ReadIs(buffer, pos, "TAG") && Id3v1ClosesStream(buffer, pos)) {
      NameFromId3v1(info, buffer, pos);
      pos += 128;
      break;
    }
    if (ReadIs(buffer, pos, "APETAGEX")) {
      unsigned char d0 = 0;
      if (buffer.Read(pos + 8, &d0, 1) && d0 == 0xD0 && ApeTagEnd(buffer, pos)) break;
    }
    // Resynchronise on the following bytes.
    bool found = false;
    for (int k = 1; k <= kResync; ++k) {
      const unsigned s = FrameAt(buffer, pos + k);
      if (s == 0) continue;
      last[0] = last[1];
      last[1] = static_cast<unsigned long long>(k) + s;
      ++skippedRun;
      pos += k + s;
      found = true;
      break;
    }
    if (!found) break;
  }
  if (pos <= begin) return false;
  info.m_llSize = static_cast<long long>(pos);
  if (!m_strYear.empty()) info.m_strTime = m_strYear;
  if (!m_strArtist.empty()) {
    std::string label = m_strArtist;
    info.SetRawFileTagAndValue(kRawTagArtists, label);
  }
  if (!m_strArtist.empty() || !m_strTitle.empty()) info.SetRawFileName(m_strArtist + "_" + m_strTitle);
  return true;
}

bool FileMP3Analyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
  QV_ASSERT(device != nullptr);
  m_strTitle.clear();
  m_strArtist.clear();
  m_strYear.clear();
  info.m_llSize = 0;
  if (info.m_llStartSector < 0) return false;
  RawFileBuffer buffer(device, static_cast<unsigned long long>(info.m_llStartSector));
  unsigned char head[40];
  if (!buffer.Read(0, head, sizeof(head))) return false;
  if (head[0] == 0xFF && head[1] == 0xFB && (head[2] == 0xE0 || head[2] == 0xB0) &&
      (std::memcmp(head + 36, "Xing", 4) == 0 || std::memcmp(head + 36, "Info", 4) == 0)) {
    return GetRawFileSizeXING(info, buffer);
  }
  const bool id3 = std::memcmp(head, "ID3", 3) == 0;
  CMPAHeader h;
  if ((head[0] == 0xFF && head[1] == 0xFB) || (!id3 && h.Init(head))) return GetRawFileSizeFromFrame(info, buffer);
  return GetRawFileSizeFromId3(info, buffer);
}
