#pragma once
// InDesign documents: the database pages, then the contiguous objects.

#include "carving/StreamMember.h"

namespace RawSpeed {

class InddAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kCap = 200000000;

  class InddRawFileInfo : public CStreamRecord {
   public:
    InddRawFileInfo() : CStreamRecord(127, nullptr) {}
    int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override;

   private:
    long long m_llWalk = -1;
  };

  InddAnalyser() : IRawFileAnalyser(kRawTypeIndd) {}
  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  CRawFileInfo* CreateRawFileInfo() override { return new InddRawFileInfo(); }
  static bool IsInddHeader(const unsigned char* sector);
};

}  // namespace RawSpeed
