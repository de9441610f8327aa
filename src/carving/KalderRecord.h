#pragma once
// The record walk shared by the LZH, DMG and X3F streaming analysers: the
// member's bContinue says whether more sectors are needed.

#include "carving/StreamMember.h"

class CKalderRecord : public CStreamRecord {
 public:
  CKalderRecord(RAW_FILE_TYPE type, IRawFileAnalyser* reader, long long cap)
      : CStreamRecord(type, reader), m_llCap(cap) {}
  int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override {
    long long pos = 0;
    if (!streammember::SectorOffset(*this, sector, sectorSize, sectorNumber, pos)) return kSizeDone;
    if (pos < m_llMinimum + m_llExtra) return kSizeNeedMore;
    if (bContinue(sector, sectorSize, sectorNumber, pos, context) == kWalkNeedsMore) return kSizeNeedMore;
    m_llSize = pos < 10 * m_llCap ? m_llWalkedEnd : m_llCap;
    m_bEndGuessed = pos >= 10 * m_llCap;
    streammember::NameRange(*this, streammember::kFormA, sectorNumber);
    return kSizeDone;
  }

 protected:
  // kWalkNeedsMore, or kWalkEnded when the end is known (m_llWalkedEnd, 0 = none).
  virtual int bContinue(unsigned char* sector, int sectorSize, long long sectorNumber, long long pos,
                        const SearchContext& context) = 0;

  long long m_llMinimum = 0;
  long long m_llExtra = 0;
  long long m_llWalkedEnd = 0;
  long long m_llCap;
};
