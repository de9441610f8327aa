#pragma once
// UTF-16LE HTML (byte-order mark FF FE): sized through the device by its
// closing "</HTML>" tag.

#include "carving/RawFileAnalyser.h"

class FileUnicodeHTMAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kLimit = 0x100000;

  FileUnicodeHTMAnalyser() : IRawFileAnalyser(kRawTypeHtm) {}
  bool GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
};
