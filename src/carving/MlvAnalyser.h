#pragma once
// Magic Lantern video: a walk over the typed blocks.

#include "carving/StreamMember.h"

namespace RawSpeed {

class MLvAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kCap = 0x7D000000;

  class MLvRawFileInfo : public CStreamRecord {
   public:
    MLvRawFileInfo() : CStreamRecord(146, nullptr) {}
    int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override;

   private:
    long long m_llWalk = 0;
    long long m_llEnd = 0;
    bool m_bAdvanced = true;
  };

  MLvAnalyser() : IRawFileAnalyser(kRawTypeMlv) {}
  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  CRawFileInfo* CreateRawFileInfo() override { return new MLvRawFileInfo(); }
  static bool KnownBlock(const unsigned char* type);
};

}  // namespace RawSpeed
