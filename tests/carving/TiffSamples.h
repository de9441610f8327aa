#pragma once
// Hand-built TIFF and camera-raw files for the TIFF analysers' tests.

#include <string>

#include "carving/Samples.h"

namespace carvingtest {

struct TiffOptions {
  bool bigEndian = false;
  bool rw2Header = false;  // "IIU\0"
  std::string make;
  std::string model;
  std::string dateTime;  // "YYYY:MM:DD HH:MM:SS"
  int width = 640;
  int height = 480;
  std::size_t stripBytes = 20000;
  std::size_t endRemainder = 0;  // when non-zero: grow the strip until size % 512 equals it
  bool dng = false;
  bool exifIfd = false;    // an EXIF directory with DateTimeOriginal
  int extraIfds = 0;       // directories chained after the first
  bool thumbnail = false;  // a JPEG preview (513/514) before the strip
  bool selfLink = false;   // the last directory links to the first
  unsigned seed = 3;
};

// Header, directories and their data, then the strip: the strip's end is
// the file's end.
Bytes MakeTiff(const TiffOptions& options);

// A Fuji RAF: the 160-byte header, an Exif JPEG preview and CFA data; no
// TIFF at 160.
Bytes MakeRaf(const std::string& make, const std::string& model, std::size_t cfaBytes);

}  // namespace carvingtest
