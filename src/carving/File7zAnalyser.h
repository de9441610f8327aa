#pragma once
// 7-Zip archives: the start header, guarded by its CRC, gives the offset
// and size of the header database that ends the archive.

#include "carving/RawFileAnalyser.h"

class File7zAnalyser : public IRawFileAnalyser {
 public:
  // Bytes of the start header.
  static constexpr long long kStartHeader = 32;
  // Larger offsets or sizes are no archive that fits on a disk.
  static constexpr unsigned long long kLimit = 1ULL << 42;

  File7zAnalyser() : IRawFileAnalyser(kRawType7z) {}
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
};
