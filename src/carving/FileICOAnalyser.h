#pragma once
// Windows icon and cursor: the directory gives the size.

#include "carving/RawFileAnalyser.h"

class FileICOAnalyser : public IRawFileAnalyser {
 public:
  FileICOAnalyser() : IRawFileAnalyser(kRawTypeIco) {}
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
};
