#pragma once
// iTunes library (hdfm): the header gives the file size.

#include "carving/RawFileAnalyser.h"

class FileITLAnalyser : public IRawFileAnalyser {
 public:
  FileITLAnalyser() : IRawFileAnalyser(kRawTypeItl) {}
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
};
