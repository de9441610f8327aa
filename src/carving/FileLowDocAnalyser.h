#pragma once
// Early Word documents (before the OLE format): the header gives the end
// of the text and the size of what follows it, in whole 512-byte pages.

#include "carving/RawFileAnalyser.h"

class FileLowDocAnalyser : public IRawFileAnalyser {
 public:
  FileLowDocAnalyser() : IRawFileAnalyser(kRawTypeDoc) {}
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
};
