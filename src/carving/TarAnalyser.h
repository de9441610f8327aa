#pragma once
// TAR carving while the sweep passes: a walk over the ustar headers.

#include <memory>

#include "carving/FileTARAnalyser.h"

namespace RawSpeed {

class TARAnalyser : public IRawFileAnalyser {
 public:
  class TARRawFileInfo : public CRawFileInfo {
   public:
    TARRawFileInfo() { m_eType = kRawTypeTar; }
    bool WhetherImplementGuess() override { return true; }
    void WillBeRemove(unsigned char* sector, long long sectorNumber) override;
    int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override;

   private:
    int Finish(long long sectorNumber, long long size);

    long long m_llWalk = 0;  // file offset of the next header
    long long m_llEnd = -1;  // past the two end records, once they are found
  };

  TARAnalyser() : IRawFileAnalyser(kRawTypeTar), m_pReader(std::make_unique<FileTARAnalyser>()) {}
  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override {
    return m_pReader->AnalyseBuffer(sector, probe);
  }
  CRawFileInfo* CreateRawFileInfo() override { return new TARRawFileInfo(); }
  IRawFileAnalyser* Reader() const { return m_pReader.get(); }

 private:
  std::unique_ptr<FileTARAnalyser> m_pReader;
};

}  // namespace RawSpeed
