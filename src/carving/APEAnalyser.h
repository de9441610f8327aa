#pragma once
// Monkey's Audio (APE) files, sized from their descriptor (version 3980 and
// later) or from their seek table and a closing APE tag (older versions)
// while the sweep passes.

#include "carving/RawFileAnalyser.h"

class StreamBytes;

namespace BruteForce {

class CAPERawFileInfo : public CRawFileInfo {
 public:
  static constexpr unsigned long long kLimit = 0x81FFFFFF;
  static constexpr long long kCap = 0x82000000LL;

  CAPERawFileInfo() { m_eType = kRawTypeApe; }
  bool WhetherImplementGuess() override { return true; }
  int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override;

 private:
  int Start(const StreamBytes& bytes);
  bool ReadSeekTable(const StreamBytes& bytes, long long pos);
  int searchTag(const unsigned char* sector, int sectorSize);
  int Finish(long long size);

  unsigned long long m_u64Bytes = 0;
  unsigned long long m_u64SeekRemainder = 0;  // table entries still to read
  unsigned long long m_u64LastFrame = 0;
  unsigned short m_uVersion = 0;
  int m_iBlockAlign = 4;
  bool m_bStarted = false;
  unsigned long long m_u64TablePos = 0;  // file offset of the next table entry
  unsigned long long m_u64TableEnd = 0;
  bool m_bTableDone = false;
};

class CAPEAnalyser : public IRawFileAnalyser {
 public:
  CAPEAnalyser() : IRawFileAnalyser(kRawTypeApe) {}
  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  CRawFileInfo* CreateRawFileInfo() override { return new CAPERawFileInfo(); }
};

}  // namespace BruteForce
