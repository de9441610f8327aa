#pragma once
// Windows metafile, plain or placeable: the size is in the header.

#include "carving/RawFileAnalyser.h"

class FileWMFAnalyser : public IRawFileAnalyser {
 public:
  FileWMFAnalyser() : IRawFileAnalyser(70) {}
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
};
