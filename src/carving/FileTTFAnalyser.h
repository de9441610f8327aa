#pragma once
// TrueType font: the table directory gives the size.

#include "carving/RawFileAnalyser.h"

class FileTTFAnalyser : public IRawFileAnalyser {
 public:
  FileTTFAnalyser() : IRawFileAnalyser(kRawTypeTtf) {}
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
};
