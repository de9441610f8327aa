#pragma once
// Windows help (?_\3\0): the header gives the file size.

#include "carving/RawFileAnalyser.h"

class FileHLPAnalyser : public IRawFileAnalyser {
 public:
  FileHLPAnalyser() : IRawFileAnalyser(kRawTypeHlp) {}
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
};
