#pragma once
// GIF carving while the sweep passes: a block walk up to the trailer.

#include "carving/StreamMember.h"

namespace BruteForce {

class CGifFileInfo : public CRawFileInfo {
 public:
  static constexpr long long kCap = 0xD000000;

  CGifFileInfo() { m_eType = kRawTypeGif; }
  bool WhetherImplementGuess() override { return true; }
  int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override;

 private:
  long long m_llWalk = 13;  // file offset of the next block
  bool m_bFirst = true;
  bool m_bInSubBlocks = false;  // inside a run of data sub-blocks
};

class CGifAnalyser : public IRawFileAnalyser {
 public:
  CGifAnalyser() : IRawFileAnalyser(-1) {}
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  CRawFileInfo* CreateRawFileInfo() override { return new CGifFileInfo(); }
};

}  // namespace BruteForce
