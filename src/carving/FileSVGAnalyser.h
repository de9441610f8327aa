#pragma once
// SVG and other XML documents through the device: the text ends in the
// first sector whose last two bytes are zero.

#include "carving/RawFileAnalyser.h"

class FileSVGAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kLimit = 0x500000;

  FileSVGAnalyser() : IRawFileAnalyser(kRawTypeSvg) {}
  bool GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
};
