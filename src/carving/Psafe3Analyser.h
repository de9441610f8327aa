#pragma once
// Password Safe 3 databases: end at the first zero tail.

#include "carving/StreamMember.h"

namespace RawSpeed {

class PSAFE3Analyser : public IRawFileAnalyser {
 public:
  PSAFE3Analyser() : IRawFileAnalyser(kRawTypePsafe3) {}
  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  CRawFileInfo* CreateRawFileInfo() override;
};

}  // namespace RawSpeed
