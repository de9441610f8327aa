#pragma once
// WordPerfect family (\xFFWPC): document, graphic or presentation; the
// header gives the file size.

#include "carving/RawFileAnalyser.h"

class FileWPDAnalyser : public IRawFileAnalyser {
 public:
  FileWPDAnalyser() : IRawFileAnalyser(kRawTypeWpd) {}
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
};
