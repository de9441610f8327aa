#pragma once
// One decoded 4-byte MPEG audio frame header (MPEG-1, MPEG-2, MPEG 2.5;
// layers I to III).

#include <cstddef>
#include <cstdint>

class ByteView;

class CMPAHeader {
 public:
  static constexpr unsigned kMaxFrameSize = 352800;

  // False for a reserved version, layer, bitrate, sampling rate or emphasis,
  // free format, and MPEG-1 layer II bitrates its channel mode forbids.
  bool Init(const unsigned char* header);
  unsigned CalcFrameSize() const;

  std::uint8_t m_bLSF = 0;
  unsigned m_uVersion = 0;
  unsigned m_uLayer = 0;
  unsigned m_uEmphasis = 0;
  int m_iChannelMode = 0;
  unsigned m_uSampleRate = 0;
  unsigned m_uSamplesPerFrame = 0;
  unsigned m_uBitrate = 0;
  unsigned m_uPadding = 0;
  short m_sBound = 0;
  short m_sAllocTable = 0;
  std::uint8_t m_bPrivate = 0, m_bCopyright = 0, m_bOriginal = 0, m_bCRC = 0;
  std::uint8_t m_bModeExt = 0;
};

// Byte 0 FF, byte 1 E0 or more, byte 2 below F0 and a valid header; the
// frame size, 0 when the test fails.
unsigned MpaFrameAt(const ByteView& v, std::size_t at);
// A frame size of 1 to 352,800 bytes.
inline bool PlausibleFrameSize(unsigned size) { return size >= 1 && size <= CMPAHeader::kMaxFrameSize; }
// A synchsafe integer (four 7-bit bytes); false when a top bit is set.
bool GetSynchsafeInteger(const unsigned char* p, unsigned& value);
