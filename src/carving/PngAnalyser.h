#pragma once
// PNG carving while the sweep passes: a chunk walk up to IEND.

#include <memory>

#include "carving/FilePNGAnalyser.h"

namespace RawSpeed {

class PNGAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kCap = 100000000;

  class PNGRawFileInfo : public CRawFileInfo {
   public:
    PNGRawFileInfo() { m_eType = kRawTypePng; }
    bool WhetherImplementGuess() override { return true; }
    void WillBeRemove(unsigned char* sector, long long sectorNumber) override;
    int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override;

   private:
    long long m_llWalk = 20;
    long long m_llCap = kCap;
    bool m_bFirst = true;
  };

  PNGAnalyser() : IRawFileAnalyser(kRawTypePng), m_pReader(std::make_unique<FilePNGAnalyser>()) {}
  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  CRawFileInfo* CreateRawFileInfo() override { return new PNGRawFileInfo(); }
  IRawFileAnalyser* Reader() const { return m_pReader.get(); }

 private:
  std::unique_ptr<FilePNGAnalyser> m_pReader;
};

}  // namespace RawSpeed
