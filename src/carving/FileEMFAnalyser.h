#pragma once
// Enhanced metafile: the size is in the header record.

#include "carving/RawFileAnalyser.h"

class FileEMFAnalyser : public IRawFileAnalyser {
 public:
  FileEMFAnalyser() : IRawFileAnalyser(kRawTypeEmf) {}
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
};
