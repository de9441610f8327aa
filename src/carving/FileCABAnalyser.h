#pragma once
// Microsoft cabinet: the size is in the header.

#include "carving/RawFileAnalyser.h"

class FileCABAnalyser : public IRawFileAnalyser {
 public:
  FileCABAnalyser() : IRawFileAnalyser(kRawTypeCab) {}
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
};
