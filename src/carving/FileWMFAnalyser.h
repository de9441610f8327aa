#pragma once
// Windows metafile, plain or placeable: the size is in the header.

#include "carving/RawFileAnalyser.h"

class FileWMFAnalyser : public IRawFileAnalyser {
 public:
  FileWMFAnalyser() : IRawFileAnalyser(kRawTypeWmf) {}
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
};
