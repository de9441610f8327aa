#pragma once
// gzip device reader: skips the header fields (the stored file name names
// the find) and inflates the deflate stream to find its end.

#include "carving/RawFileAnalyser.h"

class FileGZAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kLimit = 0xD000000;
  static constexpr long long kFieldLimit = 0x1400001;

  FileGZAnalyser() : IRawFileAnalyser(kRawTypeGz) {}
  bool GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
};
