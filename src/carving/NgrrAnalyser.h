#pragma once
// NGRR files: a walk over the "atad" records.

#include "carving/StreamMember.h"

namespace RawSpeed {

class NGRRAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kCap = 0x3200000;

  class NGRRRawFileInfo : public CStreamRecord {
   public:
    NGRRRawFileInfo() : CStreamRecord(137, nullptr) {}
    int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override;

   private:
    long long m_llWalk = 60;
  };

  NGRRAnalyser() : IRawFileAnalyser(kRawTypeNgrr) {}
  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  CRawFileInfo* CreateRawFileInfo() override { return new NGRRRawFileInfo(); }
};

}  // namespace RawSpeed
