#pragma once
// AIFF and AIFC audio: the FORM chunk gives the size.

#include "carving/RawFileAnalyser.h"

class CFileAIFAnalyzer : public IRawFileAnalyser {
 public:
  CFileAIFAnalyzer() : IRawFileAnalyser(kRawTypeAiff) {}
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  bool GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
};
