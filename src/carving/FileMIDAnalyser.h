#pragma once
// MIDI device reader: walks the track chunks through the device.

#include "carving/RawFileAnalyser.h"

class FileMIDAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kLimit = 0xD000000;

  FileMIDAnalyser() : IRawFileAnalyser(kRawTypeMid) {}
  bool GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;

  static bool IsMidHeader(const unsigned char* sector);
};
