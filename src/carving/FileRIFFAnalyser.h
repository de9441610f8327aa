#pragma once
// RIFF container (WAV, AVI, ANI, Corel formats): the chunk size gives the size.

#include "carving/RawFileAnalyser.h"

class FileRIFFAnalyser : public IRawFileAnalyser {
 public:
  FileRIFFAnalyser() : IRawFileAnalyser(kRawTypeRiff) {}
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  bool GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
  // The type of the RIFF form at 8 (and the chunk at 12).
  static RAW_FILE_TYPE FormType(const unsigned char* sector);
};
