#pragma once
// Java key stores: end at the first zero tail.

#include "carving/StreamMember.h"

namespace RawSpeed {

class JKSAnalyser : public IRawFileAnalyser {
 public:
  JKSAnalyser() : IRawFileAnalyser(kRawTypeJks) {}
  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  CRawFileInfo* CreateRawFileInfo() override;
};

}  // namespace RawSpeed
