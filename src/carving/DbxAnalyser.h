#pragma once
// Outlook Express folders: the stored size, or the zero fill.

#include "carving/StreamMember.h"

namespace RawSpeed {

class DbxAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kCap = 500000000;

  class DbxRawFileInfo : public CStreamRecord {
   public:
    DbxRawFileInfo() : CStreamRecord(21, nullptr) {}
    int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override;

   private:
    bool m_bFirst = true;
    bool m_bZeroTail = false;
  };

  DbxAnalyser() : IRawFileAnalyser(kRawTypeDbx) {}
  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  CRawFileInfo* CreateRawFileInfo() override { return new DbxRawFileInfo(); }
};

}  // namespace RawSpeed
