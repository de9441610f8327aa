#pragma once
// Apple Mail message (.emlx) written by the QQ mail client: the message
// length on the first line plus the property list that follows it.

#include "carving/RawFileAnalyser.h"

class FileEMLXAnalyser : public IRawFileAnalyser {
 public:
  FileEMLXAnalyser() : IRawFileAnalyser(kRawTypeEmlx) {}
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
};
