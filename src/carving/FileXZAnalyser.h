#pragma once
// xz streams: the stream footer (its CRC, the header's flags and "YZ") ends
// the stream; the reader looks for it through the device.

#include "carving/RawFileAnalyser.h"

class FileXZAnalyser : public IRawFileAnalyser {
 public:
  static constexpr unsigned long long kHeader = 12;  // bytes of the stream header
  static constexpr unsigned long long kFooter = 12;  // bytes of the stream footer
  // A stream whose footer is not found within this many bytes is no file.
  static constexpr unsigned long long kLimit = 0x40000000;

  FileXZAnalyser() : IRawFileAnalyser(kRawTypeXz) {}
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  bool GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
};
