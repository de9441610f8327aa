#include "carving/MpaHeader.h"

#include "core/util/ByteView.h"

namespace {

// kbit/s by [MPEG-1 ? 0 : 1][layer I, II, III][index].
constexpr unsigned kBitrates[2][3][16] = {{{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
                                           {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
                                           {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
                                          {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
                                           {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
                                           {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}}};

// Hz by version index (0 MPEG 2.5, 2 MPEG-2, 3 MPEG-1).
constexpr unsigned kRates[4][3] = {{11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}};

}  // namespace

bool CMPAHeader::Init(const unsigned char* h) {
  m_uVersion = (h[1] >> 3) & 3;
  const unsigned layerBits = (h[1] >> 1) & 3;
  if (m_uVersion == 1 || layerBits == 0) return false;
  m_uLayer = 3 - layerBits;
  m_bLSF = m_uVersion != 3 ? 1 : 0;
  m_bCRC = (h[1] & 1) == 0 ? 1 : 0;
  const unsigned rateIndex = h[2] >> 4;
  const unsigned srIndex = (h[2] >> 2) & 3;
  if (rateIndex == 0 || rateIndex == 15 || srIndex == 3) return false;
  m_uEmphasis = h[3] & 3;
  if (m_uEmphasis == 2) return false;
  m_uPadding = (h[2] >> 1) & 1;
  m_bPrivate = h[2] & 1;
  m_iChannelMode = h[3] >> 6;
  m_bModeExt = (h[3] >> 4) & 3;
  m_bCopyright = (h[3] >> 3) & 1;
  m_bOriginal = (h[3] >> 2) & 1;
  const unsigned kbps = kBitrates[m_bLSF][m_uLayer][rateIndex];
  if (m_uVersion == 3 && m_uLayer == 1) {
    const bool mono = m_iChannelMode == 3;
    if (!mono && (kbps == 32 || kbps == 48 || kbps == 56 || kbps == 80)) return false;
    if (mono && kbps >= 224) return false;
  }
  m_uBitrate = kbps * 1000;
  m_uSampleRate = kRates[m_uVersion][srIndex];
  m_uSamplesPerFrame = m_uLayer == 0 ? 384 : (m_uLayer == 1 || m_uVersion == 3 ? 1152 : 576);
  m_sBound = m_iChannelMode == 1 ? static_cast<short>(4 + 4 * m_bModeExt) : 32;
  m_sAllocTable = 0;
  return m_uSampleRate != 0;
}

unsigned CMPAHeader::CalcFrameSize() const {
  if (m_uSampleRate == 0) return 0;
  unsigned coefficient = 144;
  if (m_uLayer == 0) {
    coefficient = 12;
  } else if (m_uLayer == 2 && m_bLSF != 0) {
    coefficient = 72;
  }
  const unsigned slot = m_uLayer == 0 ? 4 : 1;
  return (static_cast<unsigned>(static_cast<unsigned long long>(m_uBitrate) * coefficient / m_uSampleRate) +
          m_uPadding) *
         slot;
}

unsigned MpaFrameAt(const ByteView& v, std::size_t at) {
  unsigned char h[4];
  if (!v.Has(at, 4)) return 0;
  v.Bytes(at, h, 4);
  if (h[0] != 0xFF || h[1] < 0xE0 || h[2] >= 0xF0) return 0;
  CMPAHeader header;
  if (!header.Init(h)) return 0;
  return header.CalcFrameSize();
}

bool GetSynchsafeInteger(const unsigned char* p, unsigned& value) {
  value = 0;
  for (int k = 0; k < 4; ++k) {
    if ((p[k] & 0x80) != 0) return false;
    value = (value << 7) | p[k];
  }
  return true;
}
