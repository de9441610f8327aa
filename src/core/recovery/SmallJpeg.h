#pragma once
// A JPEG picture embedded near the start of a file (a thumbnail).

#include <cstddef>
#include <cstdint>
#include <span>

struct EmbeddedJpeg {
  std::size_t start = 0;
  std::size_t length = 0;  // 0: none found
};

// Scans the first 65,536 bytes: the first FF D8 FF from position 4 on marks
// the start; the end is the first FF D9 from start + 2,001 on, and the two
// bytes after it are included. Positions up to 65,531 are examined.
[[nodiscard]] EmbeddedJpeg FindEmbeddedJpeg(std::span<const std::uint8_t> head);
