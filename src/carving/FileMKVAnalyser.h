#pragma once
// Matroska: the EBML header and the Segment element give the size.

#include "carving/RawFileAnalyser.h"

class FileMKVAnalyser : public IRawFileAnalyser {
 public:
  FileMKVAnalyser() : IRawFileAnalyser(kRawTypeMkv) {}
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
};
