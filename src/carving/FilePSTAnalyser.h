#pragma once
// Outlook personal folders (!BDN): the header gives the end of the file.

#include "carving/RawFileAnalyser.h"

class FilePSTAnalyser : public IRawFileAnalyser {
 public:
  FilePSTAnalyser() : IRawFileAnalyser(kRawTypePst) {}
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
};
