#pragma once
// FreeHand 11 documents: end at their zero fill.

#include "carving/ZeroEndRawFileInfo.h"

namespace BruteForce {

class CFH11Analyser : public IRawFileAnalyser {
 public:
  static constexpr long long kCap = 0xD000000;

  CFH11Analyser() : IRawFileAnalyser(-1) {}
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  CRawFileInfo* CreateRawFileInfo() override { return new CZeroEndRawFileInfo(29, kCap, 4); }
};

}  // namespace BruteForce
