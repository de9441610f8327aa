#pragma once
// Matroska: the EBML header and the Segment element give the size.

#include "carving/RawFileAnalyser.h"

class FileMKVAnalyser : public IRawFileAnalyser {
 public:
  FileMKVAnalyser() : IRawFileAnalyser(96) {}
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
};
