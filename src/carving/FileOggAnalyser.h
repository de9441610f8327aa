#pragma once
// Ogg device reader: walks the pages through the device.

#include "carving/RawFileAnalyser.h"

class CFileOggAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kLimit = 0x82000000LL;

  CFileOggAnalyser() : IRawFileAnalyser(kRawTypeOgg) {}
  bool GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
};
