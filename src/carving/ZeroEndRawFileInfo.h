#pragma once
// A streaming record that ends a file at its zero fill.

#include "carving/StreamMember.h"

class CZeroEndRawFileInfo : public CRawFileInfo {
 public:
  CZeroEndRawFileInfo(RAW_FILE_TYPE type, long long cap, int unit) : m_llCap(cap), m_iUnit(unit) { m_eType = type; }
  bool WhetherImplementGuess() override { return true; }
  int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override;

 private:
  // Bytes of the sector before its trailing zero run.
  int extraZeroPos(const unsigned char* sector, int sectorSize) const;

  long long m_llCap;
  int m_iUnit;
  long long m_llMinimum = 0;
};
