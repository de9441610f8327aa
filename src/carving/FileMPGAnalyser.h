#pragma once
// MPEG program and elementary streams: the header test and the packet walk,
// shared by the streaming record and the device reader.

#include "carving/RawFileAnalyser.h"

struct MpgWalk {
  static constexpr int kZeroRunLimit = 100;
  static constexpr long long kNoFileBelow = 102399;

  enum Result { kNeedBytes, kGoOn, kEnd, kNoFile, kProgramEnd };

  int headerLength = 12;
  long long lastPacket = 0;
  int zeroRun = 0;
  long long zeroRunStart = 0;
  int misses = 0;
  // The end of the last whole pack or packet walked.
  long long packetEnd = 0;

  // Sets the pack-header length from the start bytes; false when the
  // bytes at offset 4 are not one of the known patterns.
  static bool IsMpgHeader(const unsigned char* sector);
  void Start(const unsigned char* sector);
  // One step at p; `at` holds the bytes from p on (`available` of them).
  // kEnd: p is the end (without the closing 18 bytes); kNeedBytes: too few
  // bytes loaded; kNoFile: a system header without a packet near the start;
  // kProgramEnd: p is the proven end: past the program end code, or past the
  // last whole packet when what follows is no start code.
  Result Step(const unsigned char* at, long long available, long long& p);

 private:
  Result StepRaw(const unsigned char* at, long long available, long long& p);
};

class FileMPGAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kLimit = 0x82000000LL;

  FileMPGAnalyser() : IRawFileAnalyser(kRawTypeMpg) {}
  bool GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
};
