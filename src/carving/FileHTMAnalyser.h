#pragma once
// HTML device reader: the closing tag "</html>" (either case) ends the file.

#include "carving/RawFileAnalyser.h"

class FileHTMAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kLimit = 0x100000;

  FileHTMAnalyser() : IRawFileAnalyser(kRawTypeHtm) {}
  bool GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;

  static bool IsHtmlHeader(const unsigned char* sector);
};
