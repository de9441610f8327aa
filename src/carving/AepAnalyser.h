#pragma once
// After Effects projects: the RIFX length, then an XMP packet up to the
// zero fill.

#include "carving/StreamMember.h"

namespace RawSpeed {

class AEPAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kCap = 100000000;

  class AEPRawFileInfo : public CStreamRecord {
   public:
    AEPRawFileInfo() : CStreamRecord(144, nullptr) {}
    int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override;

   private:
    long long m_llWalk = -1;
    bool m_bXmp = false;
  };

  AEPAnalyser() : IRawFileAnalyser(kRawTypeAep) {}
  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  CRawFileInfo* CreateRawFileInfo() override { return new AEPRawFileInfo(); }
};

}  // namespace RawSpeed
