#pragma once
// Encapsulated PostScript: the text form ends at its zero fill, the binary
// form is sized from its section table.

#include "carving/ZeroEndRawFileInfo.h"

namespace BruteForce {

class CEPSAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kCap = 0x514000000LL;

  CEPSAnalyser() : IRawFileAnalyser(-1) {}
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  CRawFileInfo* CreateRawFileInfo() override;

 private:
  bool m_bTextForm = false;
};

}  // namespace BruteForce
