#pragma once
// FLV device reader: walks the tags through the device.

#include "carving/RawFileAnalyser.h"

class FileFLVAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kLimit = 0x82000000LL;

  FileFLVAnalyser() : IRawFileAnalyser(kRawTypeFlv) {}
  bool GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
};

// The FLV tag walk shared by the streaming record and the device reader.
struct FlvTagWalk {
  long long expected = 0;      // expected previous-tag size (0: none yet)
  long long previousData = 1;  // data size of the previous tag
  // One step at the tag at p (8 bytes readable at `tag`): false when the
  // stream ends; p is then its end.
  bool Step(const unsigned char* tag, long long& p);
};
