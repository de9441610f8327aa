#pragma once
// Flash movie: the size is in the header.

#include "carving/RawFileAnalyser.h"

class FileSWFAnalyser : public IRawFileAnalyser {
 public:
  FileSWFAnalyser() : IRawFileAnalyser(kRawTypeSwf) {}
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
};
