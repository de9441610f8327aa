#pragma once
// BMP picture: the size is in the file header.

#include "carving/RawFileAnalyser.h"

class FileBMPAnalyser : public IRawFileAnalyser {
 public:
  FileBMPAnalyser() : IRawFileAnalyser(kRawTypeBmp) {}
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
};
