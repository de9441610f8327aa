#pragma once
// Corel Photo-Paint image (CPT7-9): sized from its last directory entry,
// read back through the device.

#include "carving/RawFileAnalyser.h"

class FileCPTAnalyser : public IRawFileAnalyser {
 public:
  FileCPTAnalyser() : IRawFileAnalyser(kRawTypeCpt) {}
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  bool GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
};
