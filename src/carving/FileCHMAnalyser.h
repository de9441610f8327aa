#pragma once
// Microsoft compiled help (ITSF): the header section gives the file size.

#include "carving/RawFileAnalyser.h"

class FileCHMAnalyser : public IRawFileAnalyser {
 public:
  FileCHMAnalyser() : IRawFileAnalyser(kRawTypeChm) {}
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
};
