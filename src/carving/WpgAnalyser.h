#pragma once
// WPG drawings: end at a zero tail of 16 bytes or more.

#include "carving/StreamMember.h"

namespace RawSpeed {

class WpgAnalyser : public IRawFileAnalyser {
 public:
  WpgAnalyser() : IRawFileAnalyser(kRawTypeWpg) {}
  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  CRawFileInfo* CreateRawFileInfo() override;
};

}  // namespace RawSpeed
