#pragma once
// gzip carving while the sweep passes: the first zero tail after the
// header marks the end's sector; the exact end is then found by the device
// reader, which inflates the stream (from the ring of recent blocks).

#include <memory>

#include "carving/FileGZAnalyser.h"

namespace RawSpeed {

class GZAnalyzer : public IRawFileAnalyser {
 public:
  static constexpr long long kCap = 400000000;

  class GZRawFileInfo : public CRawFileInfo {
   public:
    GZRawFileInfo() { m_eType = kRawTypeGz; }
    bool WhetherImplementGuess() override { return true; }
    void WillBeRemove(unsigned char* sector, long long sectorNumber) override;
    int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override;

   private:
    long long m_llMinLength = 20;
    long long m_llExtraLength = 0;
  };

  GZAnalyzer() : IRawFileAnalyser(kRawTypeGz), m_pReader(std::make_unique<FileGZAnalyser>()) {}
  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  CRawFileInfo* CreateRawFileInfo() override { return new GZRawFileInfo(); }
  IRawFileAnalyser* Reader() const { return m_pReader.get(); }

 private:
  std::unique_ptr<FileGZAnalyser> m_pReader;
};

}  // namespace RawSpeed
