#pragma once
// AutoCAD drawings: the size comes from the section locators (R13-R15) or
// from the encrypted file header (R2004 and later).

#include "carving/StreamMember.h"

namespace BruteForce {

class CDWGRawInfo : public CRawFileInfo {
 public:
  static constexpr long long kCap = 0x514000000LL;
  static constexpr int kMaxRecords = 4096;

  CDWGRawInfo() { m_eType = kRawTypeDwg; }
  bool WhetherImplementGuess() override { return true; }
  int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override;

  // XORs the bytes with the header's pseudo-random stream.
  static void getCrcData(unsigned char* data, int length);

 private:
  int underR15Size(const StreamBytes& bytes, long long pos, long long sectorNumber);
  int ac1018_24_27VersionSize(const StreamBytes& bytes, long long pos, long long sectorNumber);
  int Finish(long long size, long long sectorNumber);

  int m_iReadPos = 0x19;
  int m_iRecordsRead = 0;
  int m_iRecordCount = 0;
  bool m_bCountKnown = false;
  long long m_llLargest = 0;
  int m_iGeneration = -1;  // 0 none, 1 R13-R15, 2 R2004/R2010/R2013, 3 R2007
};

class CDWGAnalyser : public IRawFileAnalyser {
 public:
  CDWGAnalyser() : IRawFileAnalyser(-1) {}
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  CRawFileInfo* CreateRawFileInfo() override { return new CDWGRawInfo(); }
};

}  // namespace BruteForce
