#pragma once
// Small media files of the carved audio and video formats, made in the test.

#include "carving/Samples.h"

namespace carvingtest {

// A box: big-endian size, type, payload.
Bytes Box(const char* type, const Bytes& payload);
// An "ftyp" box.
Bytes Ftyp(const char* major, const std::vector<const char*>& compatible);
// A QuickTime or ISO movie: ftyp, optional wide, mdat of `media` bytes
// (64-bit size when `largeMdat`), moov holding mvhd and, with a make, EXIF.
struct MovieOptions {
  const char* major = "qt  ";
  std::vector<const char*> compatible = {"qt  "};
  bool wide = true;
  bool largeMdat = false;
  std::size_t media = 20000;
  std::string make;
  std::string model;
};
Bytes MakeMovie(const MovieOptions& options);

// MPEG-1 layer III frames (128 kbit/s, 44.1 kHz) of pseudo-random payload.
Bytes Mp3Frames(int count, unsigned seed);
// An ID3v2.3 tag with TPE1 and TIT2 frames (encoding byte given).
Bytes Id3v2(const std::string& artist, const std::string& title, unsigned char encoding = 0);
// An ID3v1 tag.
Bytes Id3v1(const std::string& title, const std::string& artist);

Bytes Concat(const std::vector<Bytes>& parts);

}  // namespace carvingtest
