#pragma once
// MXF media: a walk over the KLV packets.

#include "carving/StreamMember.h"

namespace RawSpeed {

class MxfAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kCap = 2000000000;

  class MxfRawFileInfo : public CStreamRecord {
   public:
    MxfRawFileInfo() : CStreamRecord(142, nullptr) {}
    int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override;

   private:
    long long m_llWalk = 0;
  };

  MxfAnalyser() : IRawFileAnalyser(kRawTypeMxf) {}
  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  CRawFileInfo* CreateRawFileInfo() override { return new MxfRawFileInfo(); }
};

}  // namespace RawSpeed
