#include "carving/JpegStructure.h"

#include <algorithm>
#include <cstring>

JpegStructure::State JpegStructure::Feed(const unsigned char* data, std::size_t n, long long offset) {
  if (m_eState != State::kWalking || data == nullptr || offset < 0) return m_eState;
  if (offset > m_llNext) {
    m_eState = State::kBroken;
    return m_eState;
  }
  const long long skipped = m_llNext - offset;
  if (skipped >= static_cast<long long>(n)) return m_eState;
  std::size_t i = static_cast<std::size_t>(skipped);
  while (i < n && m_eState == State::kWalking) {
    if (m_ePhase == Phase::kSkip) {
      const long long take = std::min<long long>(m_llSkip, static_cast<long long>(n - i));
      i += static_cast<std::size_t>(take);
      m_llNext += take;
      m_llSkip -= take;
      if (m_llSkip == 0) SegmentDone();
      continue;
    }
    if (m_ePhase == Phase::kEntropy) {
      const void* ff = std::memchr(data + i, 0xFF, n - i);
      const std::size_t stop =
          ff == nullptr ? n : static_cast<std::size_t>(static_cast<const unsigned char*>(ff) - data);
      m_llNext += static_cast<long long>(stop - i);
      i = stop;
      if (i < n) {
        m_ePhase = Phase::kEntropyFF;
        ++i;
        ++m_llNext;
      }
      continue;
    }
    const unsigned b = data[i++];
    ++m_llNext;
    Step(b);
  }
  return m_eState;
}

void JpegStructure::Step(unsigned b) {
  switch (m_ePhase) {
    case Phase::kMarkerFF:
      if (b == 0xFF) {
        m_ePhase = Phase::kMarkerCode;
      } else {
        m_eState = State::kBroken;
      }
      return;
    case Phase::kMarkerCode:
      if (b != 0xFF) Marker(b);  // FF is a fill byte before the code
      return;
    case Phase::kEntropyFF:
      if (b == 0x00 || (b >= 0xD0 && b <= 0xD7)) {
        m_ePhase = Phase::kEntropy;  // stuffed byte or restart marker
      } else if (b != 0xFF) {
        Marker(b);
      }
      return;
    case Phase::kLengthHigh:
      m_uLengthHigh = b;
      m_ePhase = Phase::kLengthLow;
      return;
    case Phase::kLengthLow: {
      const long long length = static_cast<long long>((m_uLengthHigh << 8) | b);
      if (length < 2) {
        m_eState = State::kBroken;
        return;
      }
      m_llSkip = length - 2;
      if (m_llSkip == 0) {
        SegmentDone();
      } else {
        m_ePhase = Phase::kSkip;
      }
      return;
    }
    default:
      return;
  }
}

void JpegStructure::Marker(unsigned code) {
  const bool first = m_llNext == 2;
  if (first != (code == 0xD8)) {
    m_eState = State::kBroken;  // SOI opens the file and stands nowhere else
    return;
  }
  if (code == 0xD8 || code == 0x01 || (code >= 0xD0 && code <= 0xD7)) {
    m_ePhase = Phase::kMarkerFF;
    return;
  }
  if (code == 0xD9) {
    m_llEnd = m_llNext;
    m_eState = State::kEnded;
    return;
  }
  if (code < 0xC0) {
    m_eState = State::kBroken;  // no JPEG marker
    return;
  }
  if (code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC) m_bFrame = true;
  if (code == 0xDA && !m_bFrame) {
    m_eState = State::kBroken;
    return;
  }
  m_uMarker = code;
  m_ePhase = Phase::kLengthHigh;
}

void JpegStructure::SegmentDone() {
  if (m_uMarker == 0xDA) {
    m_bScan = true;
    m_ePhase = Phase::kEntropy;
  } else {
    m_ePhase = Phase::kMarkerFF;
  }
}
