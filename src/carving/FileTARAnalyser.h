#pragma once
// TAR device reader: walks the ustar headers through the device.
//
// Every member header of an archive is a candidate of its own, and each is
// sized by walking the rest of the archive: the reader remembers where the
// walk from each header it passed leads, so an archive's headers are read
// once however many of its members are sized.

#include <unordered_map>

#include "carving/RawFileAnalyser.h"

class FileTARAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kLimit = 0xD000000;

  FileTARAnalyser() : IRawFileAnalyser(kRawTypeTar) {}
  bool GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;

  // Where the header walk from a header leads (device byte offsets).
  struct WalkEnd {
    enum Kind { kRecordWithoutHeader, kFailed, kGoesOn };
    Kind kind;
    long long at;  // the record without "ustar", or the next header not known yet
  };

 private:
  class Walker;

  // The device whose walks are remembered (a ring over a device counts as
  // that device) and its sector size.
  const void* m_pWalkDevice = nullptr;
  unsigned m_uWalkSectorSize = 0;
  std::unordered_map<long long, WalkEnd> m_walkEnds;  // header offset -> end of the walk from it
};
