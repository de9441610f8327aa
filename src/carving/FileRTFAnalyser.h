#pragma once
// RTF device reader: follows the brace depth to the closing brace.

#include "carving/RawFileAnalyser.h"

class FileRTFAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kLimit = 0xD000000;

  FileRTFAnalyser() : IRawFileAnalyser(kRawTypeRtf) {}
  bool GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;

  static bool IsRtfHeader(const unsigned char* sector);
};
