#pragma once
// Microsoft Money (MSISAM database): carved as a fixed 1 MiB.

#include "carving/RawFileAnalyser.h"

class FileMNYAnalyser : public IRawFileAnalyser {
 public:
  FileMNYAnalyser() : IRawFileAnalyser(kRawTypeMny) {}
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
};
