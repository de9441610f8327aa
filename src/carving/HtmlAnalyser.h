#pragma once
// HTML carving while the sweep passes: the first zero tail ends the text.

#include <memory>

#include "carving/FileHTMAnalyser.h"

namespace RawSpeed {

class HTMLAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kCap = 0x100000;

  class HTMLRawFileInfo : public CRawFileInfo {
   public:
    HTMLRawFileInfo() { m_eType = kRawTypeHtm; }
    bool WhetherImplementGuess() override { return true; }
    void WillBeRemove(unsigned char* sector, long long sectorNumber) override;
    int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override;

   private:
    long long m_llMinLength = 20;
    long long m_llExtraLength = 0;
    unsigned int m_uCap = kCap;
  };

  HTMLAnalyser() : IRawFileAnalyser(kRawTypeHtm), m_pReader(std::make_unique<FileHTMAnalyser>()) {}
  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override {
    return m_pReader->AnalyseBuffer(sector, probe);
  }
  CRawFileInfo* CreateRawFileInfo() override { return new HTMLRawFileInfo(); }
  IRawFileAnalyser* Reader() const { return m_pReader.get(); }

 private:
  std::unique_ptr<FileHTMAnalyser> m_pReader;
};

}  // namespace RawSpeed
