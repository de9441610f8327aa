#pragma once
// PDF device reader: finds the "%%EOF" that ends a PDF (or Illustrator
// file) through the device.

#include <string>

#include "carving/RawFileAnalyser.h"

class FilePDFAnalyser : public IRawFileAnalyser {
 public:
  static constexpr int kTypePdf = kRawTypePdf;
  static constexpr int kTypeAi = kRawTypeAi;
  static constexpr long long kLimit = 0xD000000;

  FilePDFAnalyser() : IRawFileAnalyser(kTypePdf) {}
  bool GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  virtual bool IsContainPdfKeyWords(const std::string& text);

  // One past the "%%EOF" line that the bytes end with (trailing zeros and
  // one line end allowed); 0 when they do not end so.
  static int EndOfMarker(const unsigned char* data, int length);
};
