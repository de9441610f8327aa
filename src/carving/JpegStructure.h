#pragma once
// Follows a JPEG's marker structure byte by byte: segments are skipped by
// their lengths (so thumbnails and previews inside Exif or other APPn data
// never end the image) and entropy-coded data is read up to the marker that
// follows it. The end of the image is the EOI marker met outside any segment.

#include <cstddef>

class JpegStructure {
 public:
  enum class State { kWalking, kEnded, kBroken };

  // Feeds the file's bytes [offset, offset + n). Bytes before Next() are
  // ignored; a gap (offset > Next()) breaks the walk.
  State Feed(const unsigned char* data, std::size_t n, long long offset);

  State GetState() const { return m_eState; }
  // The file offset of the next byte the walk needs.
  long long Next() const { return m_llNext; }
  // The file size proven by the end marker (0 while not ended).
  long long End() const { return m_eState == State::kEnded ? m_llEnd : 0; }

 private:
  enum class Phase { kMarkerFF, kMarkerCode, kLengthHigh, kLengthLow, kSkip, kEntropy, kEntropyFF };

  // One byte outside the skip and entropy fast paths.
  void Step(unsigned b);
  void Marker(unsigned code);
  void SegmentDone();

  State m_eState = State::kWalking;
  Phase m_ePhase = Phase::kMarkerFF;
  long long m_llNext = 0;
  long long m_llEnd = 0;
  long long m_llSkip = 0;
  unsigned m_uMarker = 0;
  unsigned m_uLengthHigh = 0;
  bool m_bFrame = false;
  bool m_bScan = false;
};
