#pragma once
// Apple icon (icns): the header gives the file size.

#include "carving/RawFileAnalyser.h"

class FileICNSAnalyser : public IRawFileAnalyser {
 public:
  FileICNSAnalyser() : IRawFileAnalyser(kRawTypeIcns) {}
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
};
