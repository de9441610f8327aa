#pragma once
// DXF drawings: the text ends past its "EOF" group.

#include "carving/StreamMember.h"

namespace BruteForce {

class CDXFRawFileInfo : public CRawFileInfo {
 public:
  static constexpr long long kCap = 0xD000000;

  CDXFRawFileInfo() { m_eType = kRawTypeDxf; }
  bool WhetherImplementGuess() override { return true; }
  int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override;

 private:
  unsigned char m_marker[10] = {};
  int m_iMarkerLength = 0;
};

class CDXFAnalyser : public IRawFileAnalyser, public ISpecialRawFileAnalyser {
 public:
  CDXFAnalyser() : IRawFileAnalyser(-1) {}
  ISpecialRawFileAnalyser* GetSpecialRawFile() override { return this; }
  int AnalyseBufferEx(unsigned char* sector, CRawFileInfo& probe, long long sectorSize, long long sectorNumber,
                      long long previousBlockStartSector, long long blockEndSector) override;
  CRawFileInfo* CreateRawFileInfo() override { return new CDXFRawFileInfo(); }
};

}  // namespace BruteForce
