#include "carving/AsfAnalyser.h"

#include <algorithm>
#include <cstring>

#include "carving/StreamBytes.h"

namespace BruteForce {

namespace {

constexpr int kMaxObjectsPerSector = 4096;

int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return 0;
}

const AsfGuid& HeaderGuid() {
  static const AsfGuid g = CAsfAnalyser::Guid("75B22630-668E-11CF-A6D9-00AA0062CE6C");
  return g;
}

bool IsGuid(const ByteView& v, std::size_t at, const AsfGuid& g) { return v.Equals(at, g.data(), g.size()); }

}  // namespace

AsfGuid CAsfAnalyser::Guid(const char* text) {
  unsigned char raw[16] = {};
  int n = 0;
  for (const char* p = text; *p != 0 && p[1] != 0 && n < 16;) {
    if (*p == '-') {
      ++p;
      continue;
    }
    raw[n++] = static_cast<unsigned char>(Hex(p[0]) << 4 | Hex(p[1]));
    p += 2;
  }
  // The first three fields are stored little-endian.
  return AsfGuid{raw[3], raw[2], raw[1],  raw[0],  raw[5],  raw[4],  raw[7],  raw[6],
                 raw[8], raw[9], raw[10], raw[11], raw[12], raw[13], raw[14], raw[15]};
}

int CAsfAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr || std::memcmp(sector, HeaderGuid().data(), 16) != 0) return 0;
  probe.m_eType = kRawTypeAsf;
  return 1;
}

void CAsfRawFileInfo::Close(long long size) {
  m_llSize = size;
  // Any other stream keeps ASF; one video stream makes WMV; audio alone WMA.
  if (m_iOther > 0) {
    m_eType = kRawTypeAsf;
  } else if (m_iVideo == 1) {
    m_eType = kRawTypeWmv;
  } else if (m_iAudioOrVideo > 0) {
    m_eType = kRawTypeWma;
  } else {
    m_eType = kRawTypeAsf;
  }
}

int CAsfRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                                 SearchContext& context) {
  if (sector == nullptr || sectorSize <= 0 || sectorNumber < m_llStartSector) return kSizeNeedMore;
  static const AsfGuid kStream = CAsfAnalyser::Guid("B7DC0791-A9B7-11CF-8EE6-00C00C205365");
  static const AsfGuid kVideo = CAsfAnalyser::Guid("BC19EFC0-5B4D-11CF-A8FD-00805F5C442B");
  static const AsfGuid kAudio = CAsfAnalyser::Guid("F8699E40-5B4D-11CF-A8FD-00805F5C442B");
  static const AsfGuid kTop[] = {CAsfAnalyser::Guid("75B22636-668E-11CF-A6D9-00AA0062CE6C"),
                                 CAsfAnalyser::Guid("33000890-E5B1-11CF-89F4-00A0C90349CB"),
                                 CAsfAnalyser::Guid("D6E229D3-35DA-11D1-9034-00A0C90349BE"),
                                 CAsfAnalyser::Guid("FEB103F8-12AD-4C64-840F-2A1D2F7AD48C"),
                                 CAsfAnalyser::Guid("3CB73FD0-0C4A-4803-953D-EDF7B6228F0C")};
  const StreamBytes bytes(sector, sectorSize, context);
  const ByteView& v = bytes.View();
  const long long pos = (sectorNumber - m_llStartSector) * sectorSize;
  if (!m_bStarted) {
    m_bStarted = true;
    m_u64HeaderSize = ByteView(sector, static_cast<std::size_t>(sectorSize)).U64Le(16);
    m_u64HeaderPosition = 30;
    m_u64TopPosition = m_u64HeaderSize;
    if (m_u64HeaderSize < 30 || m_u64HeaderSize > static_cast<unsigned long long>(kCap)) {
      m_llSize = 0;
      return kSizeDone;
    }
  }
  m_u64Bytes += static_cast<unsigned long long>(sectorSize);
  auto locate = [&](unsigned long long offset, std::size_t n, std::size_t& at, bool& gone) {
    gone = false;
    const long long rel = static_cast<long long>(offset) - pos;
    if (bytes.Locate(rel, n, at)) return true;
    gone = rel < 0;  // no longer in the buffer
    return false;
  };
  for (int n = 0; n < kMaxObjectsPerSector && m_u64HeaderPosition < m_u64HeaderSize && m_u64HeaderPosition < m_u64Bytes;
       ++n) {
    std::size_t at = 0;
    bool gone = false;
    if (!locate(m_u64HeaderPosition, 40, at, gone)) {
      if (gone) m_u64HeaderPosition = m_u64HeaderSize;
      break;
    }
    const unsigned long long size = v.U64Le(at + 16);
    if (size == 0) break;
    if (IsGuid(v, at, kStream)) {
      if (IsGuid(v, at + 24, kVideo)) {
        ++m_iVideo;
        ++m_iAudioOrVideo;
      } else if (IsGuid(v, at + 24, kAudio)) {
        ++m_iAudioOrVideo;
      } else {
        ++m_iOther;
      }
    }
    if (size > m_u64HeaderSize - m_u64HeaderPosition) break;
    m_u64HeaderPosition += size;
  }
  for (int n = 0; n < kMaxObjectsPerSector && m_u64TopPosition < m_u64Bytes; ++n) {
    std::size_t at = 0;
    bool gone = false;
    if (!locate(m_u64TopPosition, 24, at, gone)) {
      if (!gone) return kSizeNeedMore;
      m_llSize = 0;
      return kSizeDone;
    }
    bool known = false;
    for (const AsfGuid& g : kTop) known = known || IsGuid(v, at, g);
    if (!known) {
      // An unknown object after the top-level ones: the file ends before it.
      Close(std::min(static_cast<long long>(m_u64TopPosition), kCap));
      return kSizeDone;
    }
    const unsigned long long size = v.U64Le(at + 16);
    if (size == 0) return kSizeNeedMore;
    if (size > static_cast<unsigned long long>(kCap)) {
      m_llSize = 0;
      return kSizeDone;
    }
    m_u64TopPosition += size;
  }
  return kSizeNeedMore;
}

}  // namespace BruteForce
