#pragma once
// PNG device reader: walks the chunks through the device up to IEND.

#include "carving/RawFileAnalyser.h"

class FilePNGAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kLimit = 0x1400000;

  FilePNGAnalyser() : IRawFileAnalyser(kRawTypePng) {}
  bool GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;

  static bool IsPngHeader(const unsigned char* sector);
};
