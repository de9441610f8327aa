#pragma once
// Sibelius scores: end at the first zero tail.

#include "carving/StreamMember.h"

namespace RawSpeed {

class SIBAnalyser : public IRawFileAnalyser {
 public:
  SIBAnalyser() : IRawFileAnalyser(kRawTypeSib) {}
  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  CRawFileInfo* CreateRawFileInfo() override;
};

}  // namespace RawSpeed
