#pragma once
// RAR device reader: walks the RAR 4 blocks through the device.

#include "carving/RawFileAnalyser.h"

class FileRARAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kLimit = 0xD000000;

  FileRARAnalyser() : IRawFileAnalyser(kRawTypeRar) {}
  bool GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;

  static bool IsRarHeader(const unsigned char* sector);
};
