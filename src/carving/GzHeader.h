#pragma once
// gzip member headers (RFC 1952).

class CGzSearch {
 public:
  // 1F 8B 08, flags <= 0x1F, operating system below 14.
  static bool IsValidGzHeader(const unsigned char* header);
};
