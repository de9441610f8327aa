#pragma once
// 3GP finds of the QuickTime box walk.

#include "carving/MovAnalyzer.h"

namespace BruteForce {

class C3GPAnalyser : public MovAnalyzer {
 public:
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  CRawFileInfo* CreateRawFileInfo() override { return new MovRawFileInfo(kType3gp); }
};

}  // namespace BruteForce
