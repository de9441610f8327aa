#pragma once
// Real small files of the carved formats, made in the test.

#include <cstdint>
#include <string>
#include <vector>

#include "support/Files.h"

namespace carvingtest {

using Bytes = std::vector<std::uint8_t>;

struct JpegOptions {
  int width = 64;
  int height = 48;
  unsigned seed = 1;
  int maxAc = 12;    // AC coefficients per block, at most
  std::string make;  // with make or model: an Exif APP1 instead of JFIF
  std::string model;
  std::string dateTime;   // "YYYY:MM:DD HH:MM:SS"
  bool dqtFirst = false;  // FF D8 FF DB: no APP segment
};

// A baseline JPEG (three components, standard Huffman tables) that decoders
// read; its entropy data are pseudo-random coefficients.
Bytes MakeJpeg(const JpegOptions& options);
// A PNG of width x height RGB pixels, deflated with zlib.
Bytes MakePng(int width, int height, unsigned seed);
// A RAR 4 archive holding stored members.
Bytes MakeRar(const std::vector<std::pair<std::string, Bytes>>& members);
// An HTML page of about `bytes` bytes.
Bytes MakeHtml(std::size_t bytes, unsigned seed);
// Pseudo-random text-like bytes.
Bytes Noise(std::size_t n, unsigned seed, bool text = false);

// Runs a shell command and reads the file it made; empty on failure.
Bytes RunAndRead(const std::string& command, const std::string& file);
using testsupport::ReadFileBytes;
void WriteAll(const std::string& path, const Bytes& bytes);

}  // namespace carvingtest
