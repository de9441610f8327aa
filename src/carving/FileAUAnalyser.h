#pragma once
// Sun/NeXT audio (.snd): data offset plus data size.

#include "carving/RawFileAnalyser.h"

class FileAUAnalyser : public IRawFileAnalyser {
 public:
  FileAUAnalyser() : IRawFileAnalyser(kRawTypeAu) {}
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
};
