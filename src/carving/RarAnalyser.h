#pragma once
// RAR 4 carving while the sweep passes: a block walk up to the
// end-of-archive block.

#include <memory>

#include "carving/FileRARAnalyser.h"

namespace RawSpeed {

class RARAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kCap = 0x40000000;
  // Block headers may begin this far past the sector.
  static constexpr long long kLookAhead = 10;

  class RARRawFileInfo : public CRawFileInfo {
   public:
    RARRawFileInfo() { m_eType = kRawTypeRar; }
    bool WhetherImplementGuess() override { return true; }
    void WillBeRemove(unsigned char* sector, long long sectorNumber) override;
    int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override;

   private:
    int Finish(long long sectorNumber, long long size);

    long long m_llWalk = 7;
    bool m_bFirst = true;
    bool m_bWalkValid = true;
  };

  RARAnalyser() : IRawFileAnalyser(kRawTypeRar), m_pReader(std::make_unique<FileRARAnalyser>()) {}
  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override {
    return m_pReader->AnalyseBuffer(sector, probe);
  }
  CRawFileInfo* CreateRawFileInfo() override { return new RARRawFileInfo(); }
  IRawFileAnalyser* Reader() const { return m_pReader.get(); }

 private:
  std::unique_ptr<FileRARAnalyser> m_pReader;
};

}  // namespace RawSpeed
