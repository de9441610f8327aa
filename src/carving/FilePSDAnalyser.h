#pragma once
// PSD device reader: sections, then the image data (raw or RLE rows).

#include "carving/RawFileAnalyser.h"

class FilePSDAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kLimit = 0xD000000;

  FilePSDAnalyser() : IRawFileAnalyser(kRawTypePsd) {}
  bool GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;

  static bool IsPsdHeader(const unsigned char* sector);
};
