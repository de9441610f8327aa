#pragma once
// TAR device reader: walks the ustar headers through the device.

#include "carving/RawFileAnalyser.h"

class FileTARAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kLimit = 0xD000000;

  FileTARAnalyser() : IRawFileAnalyser(kRawTypeTar) {}
  bool GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
};
